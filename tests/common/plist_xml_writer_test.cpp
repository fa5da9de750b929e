#include "common/plist_xml_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

#include "common/plist.h"
#include "common/plist_date.h"
#include "tests/support/subprocess.h"

namespace brimwell {
namespace {

// Every kind of value, at the edges of its range.
Plist everyKind() {
  const double inf = std::numeric_limits<double>::infinity();
  Plist d = Plist::newDictionary();
  d.setItem("negative", Plist::integer(-523));
  d.setItem("int64 min", Plist::integer(std::numeric_limits<int64_t>::min()));
  d.setItem("int64 max", Plist::integer(std::numeric_limits<int64_t>::max()));
  d.setItem("2^63", Plist::unsignedInteger(uint64_t{1} << 63));
  d.setItem("2^64-1", Plist::unsignedInteger(std::numeric_limits<uint64_t>::max()));
  d.setItem("0.1 + 0.2", Plist::real(0.1 + 0.2));
  d.setItem("tiny", Plist::real(4.9406564584124654e-324));
  d.setItem("minus zero", Plist::real(-0.0));
  d.setItem("nan", Plist::real(std::nan("")));
  d.setItem("inf", Plist::real(inf));
  d.setItem("minus inf", Plist::real(-inf));
  d.setItem("true", Plist::boolean(true));
  d.setItem("false", Plist::boolean(false));
  d.setItem("markup", Plist::string("<a href=\"x\">&amp;</a> ]]> 'q'"));
  d.setItem("line ends", Plist::string("tab\there\nnew\r\nend\r"));
  d.setItem("unicode",
            Plist::string("\xE2\x84\x83 \xE5\x85\x85\xE7\x94\xB5 \xF0\x9F\x94\x8B \x7f"));
  d.setItem("key <&>", Plist::string(""));
  d.setItem("data 0", Plist::data(""));
  d.setItem("data 1", Plist::data(std::string("\x00", 1)));
  d.setItem("data 2", Plist::data("\xff\x01"));
  d.setItem("data 3", Plist::data("abc"));
  d.setItem("data 4", Plist::data("abcd"));
  for (const char* date : {"0001-01-01T00:00:00Z", "1900-01-01T00:00:00Z", "1932-12-13T20:45:51Z",
                           "2014-09-19T08:30:00Z", "2069-01-20T00:00:00Z", "2100-06-01T00:00:00Z",
                           "9999-12-31T23:59:59Z"}) {
    d.setItem(std::string("date ") + date, Plist::date(*parsePlistDate(date)));
  }
  d.setItem("empty array", Plist::newArray());
  d.setItem("empty dict", Plist::newDictionary());
  Plist list = Plist::newArray();
  list.append(Plist::integer(1));
  list.append(Plist::string("two"));
  Plist nested = Plist::newDictionary();
  nested.setItem("list", std::move(list));
  d.setItem("nested", std::move(nested));
  return d;
}

TEST(XmlWriter, EveryValueReadsBackUnchanged) {
  const Plist original = everyKind();
  const auto xml = xmlPropertyList(original);
  ASSERT_TRUE(xml);
  std::string why;
  const Plist back = Plist::fromMemory(*xml, &why);
  ASSERT_TRUE(back.isDictionary()) << why;
  EXPECT_TRUE(back == original) << *xml;
  for (const char* date : {"0001-01-01T00:00:00Z", "1900-01-01T00:00:00Z", "2069-01-20T00:00:00Z",
                           "2100-06-01T00:00:00Z", "9999-12-31T23:59:59Z"}) {
    EXPECT_NE(xml->find(std::string("<date>") + date + "</date>"), std::string::npos) << date;
  }
}

TEST(XmlWriter, DatesAreWrittenToTheSecondThatHoldsThem) {
  const struct {
    double seconds;
    const char* text;  // nullptr: cannot be written
  } cases[] = {
      {0, "2001-01-01T00:00:00Z"},
      {0.999, "2001-01-01T00:00:00Z"},
      {-0.5, "2000-12-31T23:59:59Z"},
      {-2147483648.0 - 1, "1932-12-13T20:45:51Z"},
      {2147483648.0, "2069-01-19T03:14:08Z"},
      {-63113904000.0, "0001-01-01T00:00:00Z"},
      {-63113904000.0 - 1, nullptr},
      {252423993599.0, "9999-12-31T23:59:59Z"},
      {252423993600.0, nullptr},
      {std::nan(""), nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> text = formatPlistDate(c.seconds);
    EXPECT_EQ(text.has_value(), c.text != nullptr) << c.seconds;
    EXPECT_EQ(text.value_or("none"), c.text ? c.text : "none") << c.seconds;
  }
}

TEST(XmlWriter, TextXmlCannotHoldBecomesAReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    std::string text;
    std::string readsBack;
  } cases[] = {
      {"ok \t\n", "ok \t\n"},
      {"cr\r", "cr\r"},
      {std::string("nul\0!", 5), "nul" + fffd + "!"},
      {"bell\x07 esc\x1b", "bell" + fffd + " esc" + fffd},
      {"not utf-8 \xff\xc0\x80", "not utf-8 " + fffd + fffd + fffd},
      {"cut \xE2\x84", "cut " + fffd + fffd},
      {"surrogate \xED\xA0\x80", "surrogate " + fffd + fffd + fffd},
      {"noncharacters \xEF\xBF\xBE\xEF\xBF\xBF", "noncharacters " + fffd + fffd},
      {"above U+10FFFF \xF4\x90\x80\x80", "above U+10FFFF " + fffd + fffd + fffd + fffd},
  };
  for (const auto& c : cases) {
    Plist d = Plist::newDictionary();
    d.setItem(c.text, Plist::string(c.text));
    std::string why;
    const Plist back = Plist::fromMemory(d.toXml(), &why);
    ASSERT_TRUE(back.isDictionary()) << why;
    ASSERT_NE(back.item(c.readsBack), nullptr) << c.readsBack;
    EXPECT_EQ(back.item(c.readsBack)->text(), c.readsBack);
  }
}

// Python's plistlib (on expat) reads what we write, and finds the same values.
TEST(XmlWriter, AnotherStrictReaderFindsTheSameValues) {
  const char* script =
      "import plistlib, sys, math\n"
      "def show(v):\n"
      "    if isinstance(v, bool): return 'true' if v else 'false'\n"
      "    if isinstance(v, int): return 'integer %d' % v\n"
      "    if isinstance(v, float):\n"
      "        return 'real nan' if math.isnan(v) else 'real ' + v.hex()\n"
      "    if isinstance(v, str): return 'string ' + v.encode('utf-8').hex()\n"
      "    if isinstance(v, bytes): return 'data ' + v.hex()\n"
      "    if isinstance(v, list): return '[' + ', '.join(show(x) for x in v) + ']'\n"
      "    if isinstance(v, dict):\n"
      "        return '{' + ', '.join(k.encode('utf-8').hex() + ': ' + show(v[k])\n"
      "                              for k in sorted(v)) + '}'\n"
      "    return 'date ' + v.strftime('%Y-%m-%dT%H:%M:%SZ').rjust(20, '0')\n"
      "print(show(plistlib.loads(sys.stdin.buffer.read())))\n";
  Plist d = everyKind();
  d.setItem("controls \x01\r", Plist::string(std::string("a\0b\x1f\xff", 5)));
  const testing_support::ProcessResult result =
      testing_support::runProcess("python3", {"-c", script}, {}, d.toXml());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // The same walk over our own reading of the file.
  std::function<std::string(const Plist&)> show = [&](const Plist& v) -> std::string {
    const auto hex = [](const std::string& s) {
      std::string out;
      char b[3];
      for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
      }
      return out;
    };
    switch (v.kind()) {
      case Plist::Kind::Boolean:
        return v.booleanValue() ? "true" : "false";
      case Plist::Kind::Integer:
        return "integer " + (v.isNegative() ? std::to_string(static_cast<int64_t>(v.integerBits()))
                                            : std::to_string(v.integerBits()));
      case Plist::Kind::Real: {
        if (std::isnan(v.realValue())) return "real nan";
        char text[64];
        std::snprintf(text, sizeof text, "%.13a", v.realValue());
        std::string s = text;  // float.hex() in C's terms; Python writes zero as 0x0.0p+0
        if (v.realValue() == 0) s = std::signbit(v.realValue()) ? "-0x0.0p+0" : "0x0.0p+0";
        if (std::isinf(v.realValue())) s = v.realValue() > 0 ? "inf" : "-inf";
        return "real " + s;
      }
      case Plist::Kind::String:
        return "string " + hex(v.text());
      case Plist::Kind::Data:
        return "data " + hex(v.text());
      case Plist::Kind::Date:
        return "date " + formatPlistDate(v.dateValue()).value_or("?");
      case Plist::Kind::Array: {
        std::string out = "[";
        for (size_t i = 0; i < v.size(); ++i) out += (i ? ", " : "") + show(v.at(i));
        return out + "]";
      }
      case Plist::Kind::Dictionary: {
        std::vector<std::pair<std::string, std::string>> entries;
        for (size_t i = 0; i < v.size(); ++i) entries.emplace_back(v.keyAt(i), show(v.valueAt(i)));
        std::sort(entries.begin(), entries.end());
        std::string out = "{";
        for (size_t i = 0; i < entries.size(); ++i) {
          out += (i ? ", " : "") + hex(entries[i].first) + ": " + entries[i].second;
        }
        return out + "}";
      }
      default:
        return "?";
    }
  };
  EXPECT_EQ(result.out, show(Plist::fromMemory(d.toXml())) + "\n");
}

TEST(XmlWriter, LayoutOfTheStatusFile) {
  Plist d = Plist::newDictionary();
  d.setItem("AppleRawCurrentCapacity", Plist::integer(1750));
  d.setItem("IsCharging", Plist::boolean(true));
  EXPECT_EQ(xmlPropertyList(d),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n"
            "<dict>\n"
            "\t<key>AppleRawCurrentCapacity</key>\n"
            "\t<integer>1750</integer>\n"
            "\t<key>IsCharging</key>\n"
            "\t<true/>\n"
            "</dict>\n"
            "</plist>\n");
}

TEST(XmlWriter, RefusesTreesDeeperThanItsLimit) {
  auto nestedArrays = [](int depth) {
    Plist inner = Plist::newArray();
    for (int i = 0; i < depth; ++i) {
      Plist outer = Plist::newArray();
      outer.append(std::move(inner));
      inner = std::move(outer);
    }
    return inner;
  };
  const auto deepest = xmlPropertyList(nestedArrays(kMaxPlistDepth));
  ASSERT_TRUE(deepest);
  EXPECT_TRUE(Plist::fromMemory(*deepest));
  std::string why;
  EXPECT_FALSE(xmlPropertyList(nestedArrays(kMaxPlistDepth + 1), &why));
  EXPECT_EQ(why, "nested deeper than 512");
  EXPECT_FALSE(xmlPropertyList(Plist()));
}

}  // namespace
}  // namespace brimwell
