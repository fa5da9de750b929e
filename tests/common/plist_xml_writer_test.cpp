#include "common/plist_xml_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/plist.h"

namespace brimwell {
namespace {

// Same kind and same value all the way down, NaN equal to NaN.
bool sameValue(plist_t a, plist_t b) {
  if (plist_get_node_type(a) != plist_get_node_type(b)) return false;
  switch (plist_get_node_type(a)) {
    case PLIST_REAL: {
      double x = 0, y = 0;
      plist_get_real_val(a, &x);
      plist_get_real_val(b, &y);
      return (std::isnan(x) && std::isnan(y)) || (x == y && std::signbit(x) == std::signbit(y));
    }
    case PLIST_ARRAY: {
      if (plist_array_get_size(a) != plist_array_get_size(b)) return false;
      for (uint32_t i = 0; i < plist_array_get_size(a); ++i) {
        if (!sameValue(plist_array_get_item(a, i), plist_array_get_item(b, i))) return false;
      }
      return true;
    }
    case PLIST_DICT: {
      if (plist_dict_get_size(a) != plist_dict_get_size(b)) return false;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(a, &it);
      bool same = true;
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(a, it, &key, &value);
        if (!value) break;
        const plist_t other = plist_dict_get_item(b, key);
        same = same && other && sameValue(value, other);
        free(key);
      }
      free(it);
      return same;
    }
    default:
      return plist_compare_node_value(a, b);
  }
}

Plist roundTrip(const Plist& original) {
  const auto xml = xmlPropertyList(original.get());
  EXPECT_TRUE(xml.has_value());
  return Plist::fromMemory(xml.value_or(""));
}

TEST(XmlWriter, EveryValueReadsBackUnchanged) {
  Plist d = Plist::newDictionary();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* key;
    plist_t value;
  } values[] = {
      {"negative", plist_new_uint(static_cast<uint64_t>(-523))},
      {"int64 min", plist_new_uint(static_cast<uint64_t>(std::numeric_limits<int64_t>::min()))},
      {"int64 max", plist_new_uint(static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))},
      {"0.1 + 0.2", plist_new_real(0.1 + 0.2)},
      {"tiny", plist_new_real(4.9406564584124654e-324)},
      {"minus zero", plist_new_real(-0.0)},
      {"nan", plist_new_real(std::nan(""))},
      {"inf", plist_new_real(inf)},
      {"minus inf", plist_new_real(-inf)},
      {"true", plist_new_bool(1)},
      {"false", plist_new_bool(0)},
      {"markup", plist_new_string("<a href=\"x\">&amp;</a> 'q'")},
      {"controls", plist_new_string("tab\there\nnew\x01\x1f\x7f end\r")},
      {"unicode", plist_new_string("\xE2\x84\x83 \xE5\x85\x85\xE7\x94\xB5 \xF0\x9F\x94\x8B")},
      {"key <&>\x02", plist_new_string("")},
      {"data 0", plist_new_data("", 0)},
      {"data 1", plist_new_data("\x00", 1)},
      {"data 2", plist_new_data("\xff\x01", 2)},
      {"data 3", plist_new_data("abc", 3)},
      {"data 4", plist_new_data("abcd", 4)},
      {"date", plist_new_date(432808200, 0)},
      {"old date", plist_new_date(-978307200, 0)},
      {"empty array", plist_new_array()},
      {"empty dict", plist_new_dict()},
  };
  for (const auto& v : values) d.setItem(v.key, Plist(v.value));
  Plist nested = Plist::newDictionary();
  Plist list(plist_new_array());
  plist_array_append_item(list.get(), plist_new_uint(1));
  plist_array_append_item(list.get(), plist_new_string("two"));
  nested.setItem("list", std::move(list));
  d.setItem("nested", std::move(nested));

  const Plist back = roundTrip(d);
  ASSERT_TRUE(back.isDictionary());
  for (const auto& v : values) {
    ASSERT_NE(back.item(v.key), nullptr) << v.key;
    EXPECT_TRUE(sameValue(back.item(v.key), d.item(v.key))) << v.key;
  }
  EXPECT_TRUE(sameValue(back.get(), d.get()));
}

TEST(XmlWriter, UnsignedAboveInt64KeepsItsValue) {
  const std::string xml =
      "<plist "
      "version=\"1.0\"><dict><key>u</key><integer>18446744073709551615</integer></dict></plist>";
  const Plist original = Plist::fromMemory(xml);
  const auto written = xmlPropertyList(original.get());
  ASSERT_TRUE(written);
  EXPECT_NE(written->find("<integer>18446744073709551615</integer>"), std::string::npos)
      << *written;
}

TEST(XmlWriter, LayoutOfTheStatusFile) {
  Plist d = Plist::newDictionary();
  d.setItem("AppleRawCurrentCapacity", Plist(plist_new_uint(1750)));
  d.setItem("IsCharging", Plist(plist_new_bool(1)));
  EXPECT_EQ(xmlPropertyList(d.get()),
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
    plist_t root = plist_new_array();
    plist_t inner = root;
    for (int i = 0; i < depth; ++i) {
      plist_t next = plist_new_array();
      plist_array_append_item(inner, next);
      inner = next;
    }
    return Plist(root);
  };
  EXPECT_TRUE(xmlPropertyList(nestedArrays(kMaxXmlDepth).get()));
  EXPECT_FALSE(xmlPropertyList(nestedArrays(kMaxXmlDepth + 1).get()));
  EXPECT_FALSE(xmlPropertyList(nullptr));
}

}  // namespace
}  // namespace brimwell
