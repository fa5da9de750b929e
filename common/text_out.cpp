#include "common/text_out.h"

namespace brimwell {

void writeText(std::FILE* out, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
}

void writeLine(std::FILE* out, std::string_view text) {
  writeText(out, text);
  std::fflush(out);
}

}  // namespace brimwell
