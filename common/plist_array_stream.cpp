#include "common/plist_array_stream.h"

#include "common/plist_binary_reader.h"
#include "common/plist_xml_reader.h"

namespace brimwell {

std::unique_ptr<PlistArrayStream> PlistArrayStream::open(ByteInput& input, ElementLimits limits) {
  char magic[6] = {};
  size_t got = 0;
  std::string why;
  const bool read = input.read(0, magic, sizeof magic, got, why);
  if (read && isBinaryPropertyList(std::string_view(magic, got))) {
    return binaryArrayStream(input, limits);
  }
  std::unique_ptr<PlistArrayStream> stream = xmlArrayStream(input, limits);
  if (!read) stream->fail(Fault::unreadable, why);
  return stream;
}

Plist PlistArrayStream::fail(Fault fault, const std::string& why) {
  if (fault_ == Fault::none) {
    fault_ = fault;
    why_ = why;
  }
  return Plist();
}

Plist PlistArrayStream::give(Plist element) {
  ++given_;
  return element;
}

Plist PlistArrayStream::tooLarge(size_t index) {
  return fail(Fault::tooLarge, "element " + std::to_string(index) + " is larger than " +
                                   limitText(limits_.bytes) + " or " +
                                   std::to_string(limits_.values) + " values");
}

}  // namespace brimwell
