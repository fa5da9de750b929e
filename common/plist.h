#pragma once

#include <plist/plist.h>

#include <string>
#include <string_view>

namespace brimwell {

// Owns one libplist node tree; move-only. A null Plist stands for "no value".
class Plist {
 public:
  Plist() = default;
  explicit Plist(plist_t node) : node_(node) {}
  ~Plist() { reset(); }
  Plist(Plist&& other) noexcept : node_(other.release()) {}
  Plist& operator=(Plist&& other) noexcept {
    if (this != &other) {
      reset();
      node_ = other.release();
    }
    return *this;
  }
  Plist(const Plist&) = delete;
  Plist& operator=(const Plist&) = delete;

  static Plist newDictionary() { return Plist(plist_new_dict()); }
  // Parses XML or binary; null when the bytes are neither.
  static Plist fromMemory(std::string_view bytes);

  Plist copy() const { return Plist(node_ ? plist_copy(node_) : nullptr); }
  plist_t get() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }
  bool isDictionary() const { return node_ && plist_get_node_type(node_) == PLIST_DICT; }

  // Dictionary access; a null result when this is not a dictionary or the key is absent.
  plist_t item(const char* key) const;
  void setItem(const char* key, Plist value);

  std::string toXml() const;

  plist_t release() {
    plist_t n = node_;
    node_ = nullptr;
    return n;
  }
  void reset() {
    if (node_) plist_free(node_);
    node_ = nullptr;
  }

 private:
  plist_t node_ = nullptr;
};

}  // namespace brimwell
