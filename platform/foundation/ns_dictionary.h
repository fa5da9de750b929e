#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/plist.h"
#include "platform/api.h"
#include "platform/foundation/ns_object.h"

// A value looked up in a dictionary, borrowed from it: the platform's number conversions.
// A missing value (nil) reads as 0, NO and no text.
class PLATFORM_API NSObjectValue {
 public:
  explicit NSObjectValue(const brimwell::Plist* value) : value_(value) {}
  bool isNil() const { return value_ == nullptr; }
  int32_t intValue() const;
  int32_t integerValue() const { return intValue(); }
  bool boolValue() const;
  // The "%@" text form; no value when nil or when the value has no text form.
  std::optional<std::string> description() const;

 private:
  const brimwell::Plist* value_;
};

// An immutable property-list dictionary, or nil.
class PLATFORM_API NSDictionary : public NSObject {
 public:
  NSDictionary() : NSObject("NSDictionary") {}  // nil
  explicit NSDictionary(brimwell::Plist contents);

  // Reads a device path; nil when the file is absent, unreadable or not a dictionary, or its
  // folder may not be used.
  static NSDictionary dictionaryWithContentsOfFile(const std::string& devicePath);

  bool isNil() const { return !contents_.isDictionary(); }
  NSObjectValue objectForKey(const char* key) const { return NSObjectValue(contents_.item(key)); }
  // Writes an XML property list to a device path, replacing the file whole; false when it could
  // not, with the previous file unchanged. A failure is said on stderr with the path and its
  // cause, once until a write to that file succeeds again.
  bool writeToFile(const std::string& devicePath, bool atomically) const;

  const brimwell::Plist& contents() const { return contents_; }

 private:
  brimwell::Plist contents_;
};
