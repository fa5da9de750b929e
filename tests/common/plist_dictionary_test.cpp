#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/plist.h"

namespace brimwell {
namespace {

std::string keyNamed(size_t i) {
  return "key " + std::to_string(i * 7919 % 100003);  // not in sorted order
}

// Small dictionaries are searched key by key, large ones through an index: at every size on
// both sides of that, each key is found, replacing keeps its place, removing moves the later
// ones, and the keys keep the order they were set in, through a copy and a written file.
TEST(PlistDictionary, FindsEveryKeyAndKeepsTheirOrderAtEverySize) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{20}, size_t{31}, size_t{32}, size_t{33},
                            size_t{64}, size_t{65}, size_t{5000}}) {
    SCOPED_TRACE(size);
    Plist d = Plist::newDictionary();
    std::vector<std::string> order;
    for (size_t i = 0; i < size; ++i) {
      d.setItem(keyNamed(i), Plist::integer(static_cast<int64_t>(i)));
      order.push_back(keyNamed(i));
    }
    for (size_t i = 0; i < size; i += 3) {
      d.setItem(keyNamed(i), Plist::integer(-static_cast<int64_t>(i)));
    }
    if (size > 1) {
      ASSERT_TRUE(d.removeItem(keyNamed(0)));
      ASSERT_TRUE(d.removeItem(keyNamed(size / 2)));
      order.erase(std::remove_if(order.begin(), order.end(),
                                 [&](const std::string& k) {
                                   return k == keyNamed(0) || k == keyNamed(size / 2);
                                 }),
                  order.end());
      d.setItem(keyNamed(0), Plist::integer(7));  // back, at the end
      order.push_back(keyNamed(0));
      EXPECT_EQ(*d.item(keyNamed(0)), Plist::integer(7));
      EXPECT_EQ(d.item(keyNamed(size / 2)), nullptr);
    }
    EXPECT_FALSE(d.removeItem("absent"));
    EXPECT_EQ(d.item("absent"), nullptr);

    ASSERT_EQ(d.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
      ASSERT_EQ(d.keyAt(i), order[i]);
      ASSERT_EQ(d.item(order[i]), &d.valueAt(i));
    }
    for (size_t i = 3; i < size; i += 3) {
      if (i == size / 2) continue;
      EXPECT_EQ(*d.item(keyNamed(i)), Plist::integer(-static_cast<int64_t>(i)));
    }

    Plist copy = d.copy();
    copy.setItem("only in the copy", Plist::boolean(true));
    EXPECT_EQ(d.item("only in the copy"), nullptr);
    EXPECT_NE(copy, d);
    ASSERT_TRUE(copy.removeItem("only in the copy"));
    EXPECT_EQ(copy, d);

    Plist reversed = Plist::newDictionary();
    for (size_t i = order.size(); i-- > 0;) reversed.setItem(order[i], d.item(order[i])->copy());
    EXPECT_EQ(reversed, d) << "the same entries in another order";

    const Plist read = Plist::fromMemory(d.toXml());
    ASSERT_EQ(read.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(read.keyAt(i), order[i]);
  }
}

}  // namespace
}  // namespace brimwell
