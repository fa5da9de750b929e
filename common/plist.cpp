#include "common/plist.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "common/plist_binary_reader.h"
#include "common/plist_xml_reader.h"
#include "common/plist_xml_writer.h"

namespace brimwell {
namespace {

// Dictionaries up to this size are searched key by key; from it on they keep an index.
constexpr size_t kIndexedFrom = 32;

size_t slotOf(std::string_view key, size_t mask) {
  return std::hash<std::string_view>{}(key)&mask;
}

}  // namespace

Plist Plist::boolean(bool value) {
  Plist p(Kind::Boolean);
  p.bits_ = value ? 1 : 0;
  return p;
}

Plist Plist::integer(int64_t value) {
  Plist p(Kind::Integer);
  p.bits_ = static_cast<uint64_t>(value);
  p.negative_ = value < 0;
  return p;
}

Plist Plist::unsignedInteger(uint64_t value) {
  Plist p(Kind::Integer);
  p.bits_ = value;
  return p;
}

Plist Plist::real(double value) {
  Plist p(Kind::Real);
  p.real_ = value;
  return p;
}

Plist Plist::string(std::string text) {
  Plist p(Kind::String);
  p.text_ = std::move(text);
  return p;
}

Plist Plist::data(std::string bytes) {
  Plist p(Kind::Data);
  p.text_ = std::move(bytes);
  return p;
}

Plist Plist::date(double secondsSince2001) {
  Plist p(Kind::Date);
  p.real_ = secondsSince2001;
  return p;
}

Plist Plist::uid(uint64_t value) {
  Plist p(Kind::Uid);
  p.bits_ = value;
  return p;
}

Plist Plist::newArray() {
  return Plist(Kind::Array);
}

Plist Plist::newDictionary() {
  return Plist(Kind::Dictionary);
}

Plist Plist::fromMemory(std::string_view bytes, std::string* why) {
  std::string reason;
  Plist parsed = isBinaryPropertyList(bytes) ? readBinaryPropertyList(bytes, reason)
                                             : readXmlPropertyList(bytes, reason);
  if (why) *why = std::move(reason);
  return parsed;
}

void Plist::append(Plist value) {
  if (kind_ == Kind::Array && value) children_.push_back(std::move(value));
}

size_t Plist::find(std::string_view key) const {
  if (index_) {
    const std::vector<uint32_t>& slots = *index_;
    const size_t mask = slots.size() - 1;
    for (size_t slot = slotOf(key, mask);; slot = (slot + 1) & mask) {
      if (slots[slot] == 0) return keys_.size();
      if (keys_[slots[slot] - 1] == key) return slots[slot] - 1;
    }
  }
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) return i;
  }
  return keys_.size();
}

void Plist::indexKey(size_t position) {
  std::vector<uint32_t>& slots = *index_;
  const size_t mask = slots.size() - 1;
  size_t slot = slotOf(keys_[position], mask);
  while (slots[slot] != 0) slot = (slot + 1) & mask;
  slots[slot] = static_cast<uint32_t>(position + 1);
}

void Plist::reindex() {
  if (keys_.size() < kIndexedFrom) {
    index_.reset();
    return;
  }
  // At most half full, so that a search ends after a slot or two.
  size_t capacity = 2 * kIndexedFrom;
  while (capacity < 2 * keys_.size()) capacity *= 2;
  index_ = std::make_unique<std::vector<uint32_t>>(capacity, 0);
  for (size_t i = 0; i < keys_.size(); ++i) indexKey(i);
}

const Plist* Plist::item(std::string_view key) const {
  if (kind_ != Kind::Dictionary) return nullptr;
  const size_t at = find(key);
  return at < keys_.size() ? &children_[at] : nullptr;
}

void Plist::setItem(std::string key, Plist value) {
  if (kind_ != Kind::Dictionary || !value) return;
  const size_t at = find(key);
  if (at < keys_.size()) {
    children_[at] = std::move(value);
    return;
  }
  if (keys_.empty()) {  // a status dictionary has about twenty keys: fewer reallocations
    keys_.reserve(8);
    children_.reserve(8);
  }
  keys_.push_back(std::move(key));
  children_.push_back(std::move(value));
  if (index_ && 2 * keys_.size() <= index_->size()) {
    indexKey(keys_.size() - 1);
  } else if (keys_.size() >= kIndexedFrom) {
    reindex();
  }
}

bool Plist::removeItem(std::string_view key) {
  if (kind_ != Kind::Dictionary) return false;
  const size_t at = find(key);
  if (at == keys_.size()) return false;
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(at));
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(at));
  if (index_) reindex();  // the positions after it moved
  return true;
}

Plist Plist::copy() const {
  Plist p(kind_);
  p.negative_ = negative_;
  p.bits_ = bits_;
  p.real_ = real_;
  p.text_ = text_;
  p.keys_ = keys_;
  if (index_) p.index_ = std::make_unique<std::vector<uint32_t>>(*index_);
  p.children_.reserve(children_.size());
  for (const Plist& child : children_) p.children_.push_back(child.copy());
  return p;
}

bool Plist::operator==(const Plist& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::None:
      return true;
    case Kind::Boolean:
    case Kind::Uid:
      return bits_ == other.bits_;
    case Kind::Integer:
      return bits_ == other.bits_ && negative_ == other.negative_;
    case Kind::Real:
    case Kind::Date:
      return std::memcmp(&real_, &other.real_, sizeof real_) == 0 ||
             (std::isnan(real_) && std::isnan(other.real_));
    case Kind::String:
    case Kind::Data:
      return text_ == other.text_;
    case Kind::Array:
      return children_ == other.children_;
    case Kind::Dictionary:
      if (size() != other.size()) return false;
      for (size_t i = 0; i < keys_.size(); ++i) {
        // Dictionaries read from the same text hold their keys in the same order.
        const Plist* mate = other.keys_[i] == keys_[i] ? &other.children_[i] : other.item(keys_[i]);
        if (!mate || !(*mate == children_[i])) return false;
      }
      return true;
  }
  return false;
}

std::string Plist::toXml() const {
  return xmlPropertyList(*this).value_or(std::string());
}

}  // namespace brimwell
