#include "platform/foundation/ns_dictionary.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include "common/dictionary_file.h"
#include "common/value_conversions.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace {

// The files whose last write failed: a failure is said once, and again only after a write to
// the same file succeeded in between, so a host that rewrites its status at every change does
// not repeat one cause all day, nor keep it to itself.
std::set<std::string> gFailing;

void sayWriteOutcome(const std::string& path, const std::string* why) {
  if (!why) {
    gFailing.erase(path);
  } else if (gFailing.insert(path).second) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", program_invocation_short_name, path.c_str(),
                 why->c_str());
  }
}

}  // namespace

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
  if (platform::placeRefusal(devicePath)) return NSDictionary();
  return NSDictionary(brimwell::readDictionaryFile(platform::deviceFilePath(devicePath)));
}

bool NSDictionary::writeToFile(const std::string& devicePath, bool atomically) const {
  // There is no torn-write mode worth offering: every write replaces the file whole.
  (void)atomically;
  const std::string path = platform::deviceFilePath(devicePath);
  std::string why;
  if (const auto refusal = platform::placeRefusal(devicePath)) {
    why = *refusal;
  } else if (brimwell::writePropertyListAtomically(contents_, path, &why)) {
    if (!gFailing.empty()) sayWriteOutcome(path, nullptr);
    return true;
  }
  sayWriteOutcome(path, &why);
  return false;
}
