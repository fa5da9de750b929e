#include "host/devices/device_kind.h"

#include <climits>
#include <cstdlib>

#include "common/device_keys.h"

namespace host::devices {
namespace {

namespace kind = brimwell::device_kind;

// Input event codes, as the kernel numbers them.
constexpr unsigned kRelX = 0x00, kRelY = 0x01, kAbsX = 0x00;
constexpr unsigned kBtnSouth = 0x130;  // BTN_GAMEPAD too
constexpr unsigned kBtnToolPen = 0x140;
// The letters of a keyboard, KEY_Q.. KEY_P, KEY_A.. KEY_L, KEY_Z.. KEY_M.
constexpr unsigned kLetterRows[][2] = {{16, 25}, {30, 38}, {44, 50}};
// A keyboard whose map misses a few letters (a layout's own keys) is still one; a mouse or a
// headset with a handful of media keys is not.
constexpr int kLettersOfAKeyboard = 20;

bool isKeyboard(const InputDevice& input) {
  int letters = 0;
  for (const auto& row : kLetterRows) {
    for (unsigned code = row[0]; code <= row[1]; ++code) letters += bitSet(input.key, code);
  }
  return letters >= kLettersOfAKeyboard;
}

// The kind one input device shows, by how sure it is: none when it shows none.
const char* kindOfInput(const InputDevice& input) {
  if (bitSet(input.abs, kAbsX) && bitSet(input.key, kBtnToolPen)) return kind::kPen;
  if (bitSet(input.key, kBtnSouth)) return kind::kController;
  if (isKeyboard(input)) return kind::kKeyboard;
  if (bitSet(input.rel, kRelX) && bitSet(input.rel, kRelY)) return kind::kMouse;
  return nullptr;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

bool bitSet(const std::string& bitmap, unsigned bit) {
  constexpr unsigned kWordBits = sizeof(unsigned long) * CHAR_BIT;
  // The words from the last (bits 0..) to the first.
  std::vector<std::string> words;
  for (size_t at = 0; at < bitmap.size();) {
    const size_t end = bitmap.find(' ', at);
    const size_t stop = end == std::string::npos ? bitmap.size() : end;
    if (stop > at) words.push_back(bitmap.substr(at, stop - at));
    at = stop + 1;
  }
  const size_t index = bit / kWordBits;
  if (index >= words.size()) return false;
  const std::string& word = words[words.size() - 1 - index];
  char* end = nullptr;
  const unsigned long value = std::strtoul(word.c_str(), &end, 16);
  if (*end != '\0') return false;
  return (value >> (bit % kWordBits)) & 1UL;
}

std::string kindOf(const std::string& supplyName, const NodeSurroundings& around) {
  const char* const byRank[] = {kind::kPen, kind::kController, kind::kKeyboard, kind::kMouse};
  for (const char* wanted : byRank) {
    for (const InputDevice& input : around.inputs) {
      const char* shown = kindOfInput(input);
      if (shown && std::string(shown) == wanted) return wanted;
    }
  }
  if (around.soundCard) return kind::kHeadset;
  if (startsWith(supplyName, "ps-controller-battery-") ||
      startsWith(supplyName, "sony_controller_battery_"))
    return kind::kController;
  if (startsWith(supplyName, "wacom_battery_")) return kind::kPen;
  return kind::kOther;
}

}  // namespace host::devices
