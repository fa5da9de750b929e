// A file is either exactly a property list or it is not one: the strict readers, XML and binary.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/plist.h"
#include "common/plist_array_stream.h"
#include "common/value_conversions.h"
#include "tests/support/binary_plist.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing_support::plistXml;

std::string wrapped(const std::string& value) {
  return plistXml("<key>k</key>" + value);
}

std::string nestedArrays(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<array>";
  for (int i = 0; i < depth; ++i) xml += "</array>";
  return "<plist>" + xml + "</plist>";
}

const std::string kDoctype =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

struct XmlCase {
  const char* name;
  std::string bytes;
  const char* whyHas;  // nullptr: a well-formed list
};

TEST(StrictXmlReading, AFileIsAPropertyListOrItIsNotOne) {
  const XmlCase cases[] = {
      // Well-formed lists read as before.
      {"comments and a DOCTYPE",
       kDoctype + "<!-- a -->\n<plist version=\"1.0\">\n<!-- b -->\n<dict>\n\t<!-- c -->\n"
                  "\t<key>k</key>\n\t<integer>1</integer>\n</dict>\n</plist>\n<!-- d -->\n",
       nullptr},
      {"references", wrapped("<string>&lt;&amp;&gt;&quot;&apos;&#65;&#x2103;</string>"), nullptr},
      {"CDATA", wrapped("<string><![CDATA[<raw> & ]]></string>"), nullptr},
      {"reals with exponents",
       wrapped("<array><real>1.5e3</real><real>-2E-2</real>"
               "<real>.5</real><real>5.</real><real>+inf</real>"
               "<real>NaN</real><real>1e999</real></array>"),
       nullptr},
      {"64-bit signed and unsigned",
       wrapped("<array><integer>-9223372036854775808</integer>"
               "<integer>18446744073709551615</integer></array>"),
       nullptr},
      {"empty values",
       plistXml("<key></key><string/><key>d</key><data></data><key>a</key><array/>"
                "<key>x</key><dict></dict>"),
       nullptr},
      {"data across lines", wrapped("<data>\n\tAAEC\n\tAw==\n</data>"), nullptr},
      {"no version, no declaration", "<plist><dict/></plist>", nullptr},
      {"a DEL and C1 characters", wrapped("<string>\x7f\xc2\x85</string>"), nullptr},
      // Not XML 1.0.
      {"root never closed", "<plist><dict><key>k</key><true/></dict>", "line 1: "},
      {"text after the root", plistXml("") + "junk", "junk after document element"},
      {"a second root", plistXml("") + "<plist/>", "junk after document element"},
      {"a raw control character", wrapped("<string>a\x01</string>"), "not well-formed"},
      {"a reference to a control character", wrapped("<string>a&#x10;b</string>"),
       "reference to invalid character"},
      {"a reference to NUL", wrapped("<string>a&#0;b</string>"), "reference to invalid character"},
      {"a raw NUL", wrapped(std::string("<string>a\0b</string>", 20)), "not well-formed"},
      {"bytes that are not UTF-8", wrapped("<string>\xff\xfe</string>"), "not well-formed"},
      {"nothing at all", "", "no element found"},
      // Not a property list.
      {"an unknown element", wrapped("<foo/>"), "<foo> is not a property-list element"},
      {"the root is not <plist>", "<dict/>", "the root element is not <plist>"},
      {"an attribute on a value", wrapped("<integer base=\"16\">1</integer>"),
       "<integer> takes no attribute 'base'"},
      {"a key without a value", plistXml("<key>a</key>"), "key \"a\" has no value"},
      {"two keys in a row", plistXml("<key>a</key><key>b</key><true/>"), "key \"a\" has no value"},
      {"a value without a key", plistXml("<integer>1</integer>"),
       "<integer> in a dictionary without a key"},
      {"a key in an array", wrapped("<array><key>a</key></array>"), "<key> inside <array>"},
      {"text in a dictionary", plistXml("words<key>k</key><true/>"),
       "text \"words\" inside <dict>"},
      {"words in <true>", wrapped("<true>yes</true>"), "inside <true>"},
      {"an element in a string", wrapped("<string>a<b/></string>"), "<b> is not"},
      {"a string in a string", wrapped("<string><string/></string>"), "<string> inside <string>"},
      {"two values in <plist>", "<plist><true/><false/></plist>", "more than one value"},
      {"an empty <plist>", "<plist></plist>", "<plist> holds no value"},
      {"a processing instruction after the root", plistXml("") + "<?pi x?>",
       "processing instruction"},
      {"an undefined entity", kDoctype + "<plist><string>&bogus;</string></plist>",
       "undefined entity '&bogus;'"},
      {"an entity declaration",
       "<!DOCTYPE plist [<!ENTITY e \"x\">]><plist><string>&e;</string></plist>",
       "entity declaration 'e'"},
      {"nested deeper than 512", nestedArrays(514), "nested deeper than 512"},
      // Scalars whose text is not exact.
      {"letters in an integer", wrapped("<integer>41x20</integer>"), "integer \"41x20\" is not"},
      {"an empty integer", wrapped("<integer></integer>"), "integer \"\" is not"},
      {"blanks around an integer", wrapped("<integer> 42</integer>"), "integer \" 42\""},
      {"a hexadecimal integer", wrapped("<integer>0x10</integer>"), "integer \"0x10\""},
      {"two signs", wrapped("<integer>--1</integer>"), "integer \"--1\""},
      {"below -2^63", wrapped("<integer>-9223372036854775809</integer>"), "is not a whole number"},
      {"2^64", wrapped("<integer>18446744073709551616</integer>"), "is not a whole number"},
      {"twenty nines", wrapped("<integer>99999999999999999999</integer>"), "is not a whole number"},
      {"a real with two points", wrapped("<real>1.2.3</real>"), "<real> \"1.2.3\" does not"},
      {"an empty real", wrapped("<real></real>"), "<real> \"\" does not"},
      {"a hexadecimal real", wrapped("<real>0x1p3</real>"), "<real> \"0x1p3\""},
      {"an exponent without digits", wrapped("<real>1e</real>"), "<real> \"1e\""},
      {"month 13", wrapped("<date>2014-13-01T00:00:00Z</date>"), "<date> \"2014-13-01"},
      {"29 February 2015", wrapped("<date>2015-02-29T00:00:00Z</date>"), "<date>"},
      {"a date without its time", wrapped("<date>2014-09-19</date>"), "<date>"},
      {"the year 0", wrapped("<date>0000-01-01T00:00:00Z</date>"), "<date>"},
      {"base64 without its padding", wrapped("<data>AAE</data>"), "<data> \"AAE\""},
      {"padding in the middle", wrapped("<data>AA==AAAA</data>"), "<data>"},
      {"a symbol outside base64", wrapped("<data>AA*=</data>"), "<data>"},
  };
  for (const XmlCase& c : cases) {
    std::string why;
    const Plist read = Plist::fromMemory(c.bytes, &why);
    EXPECT_EQ(static_cast<bool>(read), c.whyHas == nullptr) << c.name << ": " << why;
    if (c.whyHas) {
      EXPECT_NE(why.find(c.whyHas), std::string::npos) << c.name << ": " << why;
      EXPECT_EQ(why.rfind("line ", 0), 0u) << c.name << ": " << why;
    }
  }
}

TEST(StrictXmlReading, WellFormedValuesReadExactly) {
  const Plist d = Plist::fromMemory(
      plistXml("<key>text</key><string>&lt;&amp;&gt;&quot;&#65;&#x2103;<![CDATA[<x>]]>\r\n</string>"
               "<key>big</key><integer>18446744073709551615</integer>"
               "<key>min</key><integer>-9223372036854775808</integer>"
               "<key>real</key><real>-2E-2</real>"
               "<key>blob</key><data>\n\tAAEC\n\tAw==\n</data>"
               "<key>date</key><date>0001-01-01T00:00:00Z</date>"));
  ASSERT_TRUE(d.isDictionary());
  EXPECT_EQ(d.item("text")->text(), "<&>\"A\xE2\x84\x83<x>\n");
  EXPECT_FALSE(d.item("big")->isNegative());
  EXPECT_EQ(d.item("big")->integerBits(), UINT64_MAX);
  EXPECT_TRUE(d.item("min")->isNegative());
  EXPECT_EQ(textOf(d.item("min")), "-9223372036854775808");
  EXPECT_EQ(d.item("real")->realValue(), -0.02);
  EXPECT_EQ(d.item("blob")->text(), std::string("\x00\x01\x02\x03", 4));
  EXPECT_EQ(d.item("date")->dateValue(), -63113904000.0);
}

TEST(StrictXmlReading, AnotherEncodingDeclaredIsRead) {
  // "℃" in UTF-16 with its byte-order mark.
  const std::string utf8 = plistXml("<key>k</key><string>\xE2\x84\x83</string>");
  std::string utf16 = "\xff\xfe";
  for (const char c : std::string("<plist><dict><key>k</key><string>")) {
    utf16 += c;
    utf16 += '\0';
  }
  utf16 += "\x03\x21";
  for (const char c : std::string("</string></dict></plist>")) {
    utf16 += c;
    utf16 += '\0';
  }
  EXPECT_TRUE(Plist::fromMemory(utf16) == Plist::fromMemory(utf8));
}

// A binary list from its encoded objects, one-byte references and two-byte offsets.
std::string binaryFrom(const std::vector<std::string>& objects, unsigned top = 0,
                       const char* magic = "bplist00") {
  std::string out = magic;
  std::vector<size_t> offsets;
  for (const std::string& o : objects) {
    offsets.push_back(out.size());
    out += o;
  }
  const size_t table = out.size();
  for (size_t offset : offsets) {
    out.push_back(static_cast<char>(offset >> 8));
    out.push_back(static_cast<char>(offset & 0xff));
  }
  std::string trailer(32, '\0');
  trailer[6] = 2;
  trailer[7] = 1;
  trailer[15] = static_cast<char>(objects.size());
  trailer[23] = static_cast<char>(top);
  trailer[30] = static_cast<char>(table >> 8);
  trailer[31] = static_cast<char>(table & 0xff);
  return out + trailer;
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(StrictBinaryReading, BoundsReferencesAndValuesAreChecked) {
  const std::string ascii = bytes({0x51, 'k'});
  const std::string zero = bytes({0x10, 0x00});
  const std::string dict = bytes({0xd1, 1, 2});  // {objects[1]: objects[2]}
  const std::string tooFar = bytes({0x33, 0x42, 0x6d, 0x1a, 0x94, 0xa2, 0, 0, 0});  // 1e12 s
  const struct {
    const char* name;
    std::string bytes;
    const char* whyHas;
  } cases[] = {
      {"a dictionary", binaryFrom({dict, ascii, zero}), nullptr},
      {"2^64-1 in 128 bits",
       binaryFrom(
           {dict, ascii,
            bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff})}),
       nullptr},
      {"a UTF-16 key", binaryFrom({dict, bytes({0x61, 0x21, 0x03}), zero}), nullptr},
      {"beyond 2^64 in 128 bits",
       binaryFrom({dict, ascii, bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0})}),
       "an integer beyond"},
      {"an array that holds itself", binaryFrom({bytes({0xa1, 0})}), "contains itself"},
      {"a reference to no object", binaryFrom({bytes({0xa1, 7})}), "a reference to no object"},
      {"a key that is not a string", binaryFrom({dict, zero, zero}), "a key that is not a string"},
      {"a date past the year 9999", binaryFrom({dict, ascii, tooFar}), "a date outside"},
      {"a NUL in a string", binaryFrom({dict, bytes({0x53, 'a', 0, 'b'}), zero}), "a NUL"},
      {"an unpaired surrogate", binaryFrom({dict, bytes({0x61, 0xd8, 0x00}), zero}),
       "unpaired surrogate"},
      {"a string past its end", binaryFrom({dict, bytes({0x5f, 0x10, 0x7f, 'k'}), zero}),
       "runs past"},
      {"a null object", binaryFrom({dict, ascii, bytes({0x00})}), "marked 0x00"},
      {"version 01", binaryFrom({dict, ascii, zero}, 0, "bplist01"), "version 00"},
      {"the top is no object", binaryFrom({dict, ascii, zero}, 9), "does not fit"},
      {"cut short", binaryFrom({dict, ascii, zero}).substr(0, 30), "too short"},
  };
  for (const auto& c : cases) {
    std::string why;
    const Plist read = Plist::fromMemory(c.bytes, &why);
    EXPECT_EQ(static_cast<bool>(read), c.whyHas == nullptr) << c.name << ": " << why;
    if (c.whyHas) {
      EXPECT_NE(why.find(c.whyHas), std::string::npos) << c.name << ": " << why;
    }
  }
  EXPECT_EQ(textOf(Plist::fromMemory(binaryFrom({dict, ascii,
                                                 bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff,
                                                        0xff, 0xff, 0xff, 0xff, 0xff, 0xff})}))
                       .item("k")),
            "18446744073709551615");
}

TEST(StrictBinaryReading, ReadsWhatAnotherEncoderWroteAsItsXmlReads) {
  const std::string xml = plistXml(
      "<key>AppleRawCurrentCapacity</key><integer>1750</integer>"
      "<key>InstantAmperage</key><integer>-523</integer>"
      "<key>Int64</key><integer>-9223372036854775808</integer>"
      "<key>Real</key><real>0.30000000000000004</real>"
      "<key>IsCharging</key><true/><key>FullyCharged</key><false/>"
      "<key>Serial</key><string>C0&lt;&amp;&gt;\xE2\x84\x83</string>"
      "<key>\xE5\x85\x85\xE7\x94\xB5</key><string>\xF0\x9F\x94\x8B</string>"
      "<key>Stamp</key><date>2014-09-19T08:30:00Z</date>"
      "<key>Blob</key><data>AAECAwQ=</data>"
      "<key>List</key><array><integer>1</integer><string>two</string><array/></array>"
      "<key>AdapterDetails</key><dict><key>Watts</key><integer>5</integer></dict>");
  std::string why;
  const Plist binary = Plist::fromMemory(testing_support::binaryPlistOf(xml), &why);
  ASSERT_TRUE(binary.isDictionary()) << why;
  EXPECT_TRUE(binary == Plist::fromMemory(xml));
}

// An array read element by element, as a recording is: each element as the whole reader reads
// it, every check made on the way (the rest of the file too), and an element over its limits
// refused, the elements before it given.
TEST(StreamedArrays, ElementByElementWithEveryCheck) {
  using Fault = PlistArrayStream::Fault;
  std::string many = "<plist><array>";  // elements across the reader's 64 KiB blocks
  for (int i = 0; i < 4000; ++i)
    many += "<dict><key>n</key><integer>" + std::to_string(i) + "</integer></dict>";
  many += "<dict><key></key><string/><key>d</key><data/></dict></array></plist>";
  const std::string ascii = bytes({0x51, 'k'});
  const struct {
    const char* name;
    std::string bytes;
    size_t given;
    Fault fault;
    const char* whyHas;
  } cases[] = {
      {"XML across blocks", many, 4001, Fault::none, ""},
      {"binary, from another encoder", testing_support::binaryPlistOf(many), 4001, Fault::none, ""},
      {"XML, its top a dictionary", plistXml(""), 0, Fault::notAnArray, "not an array"},
      {"binary, its top a string", binaryFrom({ascii}), 0, Fault::notAnArray, "not an array"},
      {"junk after the array", "<plist><array><true/></array></plist>junk", 1, Fault::malformed,
       "junk after document element"},
      {"a bad element after a good one",
       "<plist><array><true/><integer>x</integer></array></plist>", 1, Fault::malformed,
       "integer \"x\""},
      {"an element of 65 values",
       "<plist><array><true/><array>" + repeated("<true/>", 64) + "</array></array></plist>", 1,
       Fault::tooLarge, "element 1 is larger than 1 KiB or 64 values"},
      {"an element of over 1 KiB",
       "<plist><array><string>" + std::string(1100, 'x') + "</string></array></plist>", 0,
       Fault::tooLarge, "element 0 is larger"},
      {"a comment of 200 KB",
       "<plist><array><!--" + std::string(200000, 'c') + "--></array></plist>", 0, Fault::tooLarge,
       "a tag or comment longer than 1 KiB"},
      {"binary, an element of 65 values",
       binaryFrom(
           {bytes({0xa2, 1, 2}), bytes({0x09}), bytes({0xaf, 0x10, 64}) + std::string(64, 1)}),
       1, Fault::tooLarge, "element 1 is larger"},
      {"binary, an element of over 1 KiB",
       binaryFrom({bytes({0xa1, 1}), bytes({0x5f, 0x11, 0x04, 0x4c}) + std::string(1100, 'x')}), 0,
       Fault::tooLarge, "element 0 is larger"},
      {"binary, an element holding the array", binaryFrom({bytes({0xa2, 1, 0}), bytes({0x09})}), 1,
       Fault::malformed, "contains itself"},
  };
  for (const auto& c : cases) {
    MemoryInput input(c.bytes);
    const auto stream = PlistArrayStream::open(input, {1024, 64});
    std::string why;
    const Plist whole = Plist::fromMemory(c.bytes, &why);
    size_t given = 0;
    for (Plist element = stream->next(); element; element = stream->next(), ++given) {
      EXPECT_TRUE(!whole || element == whole.at(given)) << c.name << ": element " << given;
    }
    EXPECT_EQ(given, c.given) << c.name;
    EXPECT_EQ(stream->given(), c.given) << c.name;
    EXPECT_EQ(stream->fault(), c.fault) << c.name << ": " << stream->why();
    EXPECT_NE(stream->why().find(c.whyHas), std::string::npos) << c.name << ": " << stream->why();
    EXPECT_EQ(c.fault == Fault::malformed, !whole) << c.name << ": the whole reader's verdict";
  }
}

}  // namespace
}  // namespace brimwell
