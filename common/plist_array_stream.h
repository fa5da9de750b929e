#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "common/api.h"
#include "common/byte_input.h"
#include "common/plist.h"

namespace brimwell {

// How large one element of a streamed array may be: the bytes of its text (its XML, or the
// strings and data of a binary list) and the values it holds, keys counted. What one element
// can make in memory is bounded by these, whatever the size of the file.
struct ElementLimits {
  size_t bytes;
  size_t values;
};

// Reads a property list whose top value is an array one element at a time, so that neither
// the file nor its tree is ever held whole. Every check of the whole-file readers is made on
// the way, and the end of the array is given only once the rest of the input is checked too; an
// element over its limits is a fault of its own.
class COMMON_API PlistArrayStream {
 public:
  enum class Fault { none, malformed, notAnArray, tooLarge, unreadable };

  // XML or binary, by the input's first bytes; the input must outlive the stream.
  static std::unique_ptr<PlistArrayStream> open(ByteInput& input, ElementLimits limits);
  virtual ~PlistArrayStream() = default;

  // The next element; no value at the end of the array or at the first fault, once the
  // elements read whole before it are given.
  virtual Plist next() = 0;
  Fault fault() const { return fault_; }
  // What the fault was ("line 3: ...", "element 7 ..."); empty without one.
  const std::string& why() const { return why_; }
  // How many elements were given.
  size_t given() const { return given_; }

 protected:
  explicit PlistArrayStream(ElementLimits limits) : limits_(limits) {}
  // The first fault stands.
  Plist fail(Fault fault, const std::string& why);
  Plist give(Plist element);
  // The fault of the element at `index` (from 0), over its limits.
  Plist tooLarge(size_t index);
  const ElementLimits limits_;

 private:
  Fault fault_ = Fault::none;
  std::string why_;
  size_t given_ = 0;
};

}  // namespace brimwell
