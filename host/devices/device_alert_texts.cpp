#include "host/devices/device_alert_texts.h"

#include <cstdio>
#include <iterator>

#include "common/device_keys.h"
#include "common/device_naming.h"

namespace host::devices {
namespace {

// One language's texts; %s is the kind and the name, %d the percent, as printf fills them.
struct Texts {
  const char* left;          // "%s: %d %% left"
  const char* leftCritical;  // "%s: %d %% left, charge it now"
  const char* wordLow;       // "%s: battery low"
  const char* wordCritical;  // "%s: battery critical"
  // The kinds in the order of kKinds; a kind not known is not said.
  const char* kinds[5];
};

constexpr const char* kKinds[] = {
    brimwell::device_kind::kMouse,   brimwell::device_kind::kKeyboard,
    brimwell::device_kind::kHeadset, brimwell::device_kind::kController,
    brimwell::device_kind::kPen,
};

const Texts kEnglish = {
    "%s: %d %% left",
    "%s: %d %% left, charge it now",
    "%s: battery low",
    "%s: battery critical",
    {"Mouse", "Keyboard", "Headset", "Controller", "Pen"},
};
const Texts kSimplified = {
    "%s：剩余 %d%%",
    "%s：剩余 %d%%，请立即充电",
    "%s：电量低",
    "%s：电量严重不足",
    {"鼠标", "键盘", "耳机", "游戏手柄", "手写笔"},
};
const Texts kTraditional = {
    "%s：剩餘 %d%%",
    "%s：剩餘 %d%%，請立即充電",
    "%s：電量低",
    "%s：電量嚴重不足",
    {"滑鼠", "鍵盤", "耳機", "遊戲控制器", "觸控筆"},
};

const Texts& textsFor(const std::string& language) {
  if (language == "zh-Hans") return kSimplified;
  if (language == "zh-Hant") return kTraditional;
  return kEnglish;
}

const char* kindText(const Texts& t, const std::string& kind) {
  for (size_t i = 0; i < std::size(kKinds); ++i) {
    if (kind == kKinds[i]) return t.kinds[i];
  }
  return "";
}

std::string who(const Texts& t, const DeviceNotice& n) {
  return brimwell::deviceNamed(n.name, n.kindWord, kindText(t, n.kindWord));
}

std::string textIn(const Texts& t, const DeviceNotice& n) {
  const bool critical = n.stage == AlertStage::critical;
  char text[1024];
  if (n.level) {
    std::snprintf(text, sizeof text, critical ? t.leftCritical : t.left, who(t, n).c_str(),
                  *n.level);
  } else {
    std::snprintf(text, sizeof text, critical ? t.wordCritical : t.wordLow, who(t, n).c_str());
  }
  return text;
}

}  // namespace

std::string noticeText(const DeviceNotice& notice, const std::string& language) {
  return textIn(textsFor(language), notice);
}

std::string noticeLine(const DeviceNotice& notice) {
  if (notice.kind == DeviceNotice::withdraw) return "device over: " + who(kEnglish, notice);
  return std::string("device ") + (notice.stage == AlertStage::critical ? "critical: " : "low: ") +
         textIn(kEnglish, notice);
}

}  // namespace host::devices
