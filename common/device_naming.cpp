#include "common/device_naming.h"

#include "common/device_keys.h"

namespace brimwell {
namespace {

// ASCII alone, whatever the locale: a byte of a character beyond it is never a letter here, so a
// word beside a CJK name's characters still stands alone.
bool letterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameAt(const std::string& name, size_t at, const std::string& word) {
  for (size_t i = 0; i < word.size(); ++i) {
    if (lower(name[at + i]) != lower(word[i])) return false;
  }
  return true;
}

bool knownKind(const std::string& kind) {
  for (const char* known : {device_kind::kMouse, device_kind::kKeyboard, device_kind::kHeadset,
                            device_kind::kController, device_kind::kPen}) {
    if (kind == known) return true;
  }
  return false;
}

}  // namespace

bool nameHoldsWord(const std::string& name, const std::string& word) {
  if (word.empty() || word.size() > name.size()) return false;
  for (size_t at = 0; at + word.size() <= name.size(); ++at) {
    const size_t end = at + word.size();
    const bool alone = (at == 0 || !letterOrDigit(name[at - 1])) &&
                       (end == name.size() || !letterOrDigit(name[end]));
    if (alone && sameAt(name, at, word)) return true;
  }
  return false;
}

bool kindAddsTo(const std::string& name, const std::string& kind, const std::string& kindShown) {
  return knownKind(kind) && !nameHoldsWord(name, kind) && !nameHoldsWord(name, kindShown);
}

std::string deviceNamed(const std::string& name, const std::string& kind,
                        const std::string& kindShown, const std::string& shownName) {
  if (name.empty()) return kindShown;  // a name the host always gives; a hand-made file may not
  return kindAddsTo(name, kind, kindShown) ? kindShown + " " + shownName : shownName;
}

std::string deviceNamed(const std::string& name, const std::string& kind,
                        const std::string& kindShown) {
  return deviceNamed(name, kind, kindShown, name);
}

std::string kindTitle(const std::string& kind) {
  std::string title = kind;
  if (!title.empty() && title[0] >= 'a' && title[0] <= 'z')
    title[0] = static_cast<char>(title[0] - 'a' + 'A');
  return title;
}

}  // namespace brimwell
