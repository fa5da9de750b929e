#include "common/text_out.h"

namespace brimwell {

bool writeText(std::FILE* out, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out);
  return std::ferror(out) == 0;
}

bool writeLine(std::FILE* out, std::string_view text) {
  writeText(out, text);
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}

}  // namespace brimwell
