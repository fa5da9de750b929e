#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/api.h"

namespace brimwell {

// Property lists nest no deeper than this, read or written: deeper input is malformed, and
// nothing that walks a tree can exhaust the stack.
inline constexpr int kMaxPlistDepth = 512;

// One property-list value and everything under it; move-only, copy() is explicit. A default
// Plist is "no value" (an absent key, a file that held no property list).
//
// Our own tree rather than libplist's: libplist 2.2 cannot tell 2^64-1 from -1, holds dates
// only within 68 years of 2001, and mishandles strings with a NUL inside.
class COMMON_API Plist {
 public:
  enum class Kind : uint8_t {
    None,
    Boolean,
    Integer,
    Real,
    String,
    Data,
    Date,
    Uid,
    Array,
    Dictionary
  };

  Plist() = default;
  // A moved-from Plist is no value.
  Plist(Plist&& other) noexcept
      : kind_(std::exchange(other.kind_, Kind::None)),
        negative_(other.negative_),
        bits_(other.bits_),
        real_(other.real_),
        text_(std::move(other.text_)),
        keys_(std::move(other.keys_)),
        children_(std::move(other.children_)),
        index_(std::move(other.index_)) {}
  Plist& operator=(Plist&& other) noexcept {
    if (this != &other) {
      kind_ = std::exchange(other.kind_, Kind::None);
      negative_ = other.negative_;
      bits_ = other.bits_;
      real_ = other.real_;
      text_ = std::move(other.text_);
      keys_ = std::move(other.keys_);
      children_ = std::move(other.children_);
      index_ = std::move(other.index_);
    }
    return *this;
  }
  Plist(const Plist&) = delete;
  Plist& operator=(const Plist&) = delete;
  ~Plist() = default;

  static Plist boolean(bool value);
  static Plist integer(int64_t value);
  // Keeps values above INT64_MAX apart from the negative ones that share their bits.
  static Plist unsignedInteger(uint64_t value);
  static Plist real(double value);
  static Plist string(std::string text);
  static Plist data(std::string bytes);
  // Seconds since 2001-01-01T00:00:00Z, the epoch of property-list dates.
  static Plist date(double secondsSince2001);
  static Plist uid(uint64_t value);
  static Plist newArray();
  static Plist newDictionary();

  // Reads an XML or binary property list. No value when the bytes are not exactly one; why, if
  // given, then says what was wrong ("line 3: integer \"41x20\" is not a whole number ...").
  static Plist fromMemory(std::string_view bytes, std::string* why = nullptr);

  Kind kind() const { return kind_; }
  explicit operator bool() const { return kind_ != Kind::None; }
  bool isDictionary() const { return kind_ == Kind::Dictionary; }
  bool isArray() const { return kind_ == Kind::Array; }

  // Scalar values; each is meaningful only for its own kind.
  bool booleanValue() const { return bits_ != 0; }
  // Integers: the 64 bits and whether they stand for a negative value. A non-negative integer
  // may reach 2^64-1.
  uint64_t integerBits() const { return bits_; }
  bool isNegative() const { return negative_; }
  double realValue() const { return real_; }         // reals
  double dateValue() const { return real_; }         // dates, seconds since 2001
  uint64_t uidValue() const { return bits_; }        // UIDs
  const std::string& text() const { return text_; }  // strings; the bytes of data

  // Arrays and dictionaries: the number of elements or entries.
  size_t size() const { return children_.size(); }
  // Arrays; appending no value (or to no array) changes nothing.
  const Plist& at(size_t index) const { return children_[index]; }
  void append(Plist value);

  // Dictionaries keep their keys in the order they were first set; setting a key again
  // replaces its value in place, setting no value changes nothing. item() is null when this is
  // no dictionary or lacks the key. Finding a key takes constant time on average, so reading or
  // building a dictionary is linear in its keys.
  const Plist* item(std::string_view key) const;
  void setItem(std::string key, Plist value);
  bool removeItem(std::string_view key);
  const std::string& keyAt(size_t index) const { return keys_[index]; }
  const Plist& valueAt(size_t index) const { return children_[index]; }

  Plist copy() const;
  // Same kind and value all the way down; a NaN equals a NaN, 0.0 differs from -0.0.
  bool operator==(const Plist& other) const;
  bool operator!=(const Plist& other) const { return !(*this == other); }

  // The XML property-list text; empty when the tree cannot be written (see xmlPropertyList).
  std::string toXml() const;

  void reset() { *this = Plist(); }

 private:
  explicit Plist(Kind kind) : kind_(kind) {}
  // The position of the key, or size() when it is not there.
  size_t find(std::string_view key) const;
  void indexKey(size_t position);
  void reindex();

  Kind kind_ = Kind::None;
  bool negative_ = false;
  uint64_t bits_ = 0;  // booleans, integers, UIDs
  double real_ = 0;    // reals, dates
  std::string text_;
  std::vector<std::string> keys_;  // dictionaries, beside their values in children_
  std::vector<Plist> children_;
  // Past a few dozen keys, a hash table of positions into keys_ (open addressing, each slot a
  // position plus one, 0 for empty); a status dictionary of about twenty keys is searched
  // straight through, which is faster at that size.
  std::unique_ptr<std::vector<uint32_t>> index_;
};

}  // namespace brimwell
