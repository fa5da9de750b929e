#include "platform/foundation/ns_dictionary.h"

#include "common/dictionary_file.h"
#include "common/value_conversions.h"
#include "platform/foundation/device_environment.h"

int32_t NSObjectValue::intValue() const {
  return brimwell::intValueOf(value_);
}

bool NSObjectValue::boolValue() const {
  return brimwell::boolValueOf(value_);
}

std::optional<std::string> NSObjectValue::description() const {
  return brimwell::textOf(value_);
}

NSDictionary::NSDictionary(brimwell::Plist contents)
    : NSObject("NSDictionary"), contents_(std::move(contents)) {
  if (!contents_.isDictionary()) contents_.reset();
}

NSDictionary NSDictionary::dictionaryWithContentsOfFile(const std::string& devicePath) {
  return NSDictionary(brimwell::readDictionaryFile(platform::deviceFilePath(devicePath)));
}

bool NSDictionary::writeToFile(const std::string& devicePath, bool atomically) const {
  // There is no torn-write mode worth offering: every write replaces the file whole.
  (void)atomically;
  return brimwell::writePropertyListAtomically(contents_, platform::deviceFilePath(devicePath));
}
