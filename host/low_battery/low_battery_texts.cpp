#include "host/low_battery/low_battery_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace host::low_battery {
namespace {

// One language's texts; %d and %s are filled in as printf does.
struct Texts {
  const char* low;
  const char* critical;
  const char* action;       // summary of an announced action
  const char* left;         // "%d%% left"
  const char* noPercent;    // instead, where the battery gives only its word
  const char* timeLeft;     // ", about %d h %d m", for an hour or more
  const char* minutesLeft;  // ", about %d min"
  const char* underMinute;  // ", under a minute"
  const char* plugIn;       // advice after the level
  const char* weak;         // instead, when the charger is in and the battery drains
  const char* inSeconds;    // "%s in %d s unless the charger is plugged in."
  const char* weakSeconds;  // "%s in %d s: the charger does not keep up."
  const char* cancel;
  const char* failed;      // summary when the action could not be taken
  const char* actions[6];  // what each action does, in the order of Action
  const char* done[6];     // what was done, "Suspended at %d%%."
};

const Texts kEnglish = {
    "Battery low",
    "Battery critically low",
    "Battery almost empty",
    "%d%% left",
    "The battery gives no percent",
    ", about %d h %d m",
    ", about %d min",
    ", under a minute",
    ". Plug in the charger.",
    ". The charger does not keep up.",
    "%s in %d s unless the charger is plugged in.",
    "%s in %d s: the charger does not keep up.",
    "Cancel",
    "The low-battery action failed",
    {"Nothing", "Suspending", "Hibernating", "Hybrid sleep", "Powering off",
     "Running your command"},
    {"Nothing done at %d%%.", "Suspended at %d%%.", "Hibernated at %d%%.",
     "Went to hybrid sleep at %d%%.", "Powered off at %d%%.", "Started your command at %d%%."},
};
const Texts kSimplified = {
    "电池电量低",
    "电池电量严重不足",
    "电池电量即将耗尽",
    "剩余 %d%%",
    "电池未提供电量百分比",
    "，约 %d 小时 %d 分钟",
    "，约 %d 分钟",
    "，不到 1 分钟",
    "。请接上充电器。",
    "。充电器供电不足。",
    "%s将在 %d 秒后开始，除非接上充电器。",
    "%s将在 %d 秒后开始：充电器供电不足。",
    "取消",
    "低电量操作失败",
    {"无", "睡眠", "休眠", "混合睡眠", "关机", "运行你的命令"},
    {"在 %d%% 时未执行操作。", "已在 %d%% 时睡眠。", "已在 %d%% 时休眠。", "已在 %d%% 时混合睡眠。",
     "已在 %d%% 时关机。", "已在 %d%% 时运行你的命令。"},
};
const Texts kTraditional = {
    "電池電量低",
    "電池電量嚴重不足",
    "電池電量即將耗盡",
    "剩餘 %d%%",
    "電池未提供電量百分比",
    "，約 %d 小時 %d 分鐘",
    "，約 %d 分鐘",
    "，不到 1 分鐘",
    "。請接上充電器。",
    "。充電器供電不足。",
    "%s將在 %d 秒後開始，除非接上充電器。",
    "%s將在 %d 秒後開始：充電器供電不足。",
    "取消",
    "低電量操作失敗",
    {"無", "睡眠", "休眠", "混合睡眠", "關機", "執行你的指令"},
    {"在 %d%% 時未執行操作。", "已在 %d%% 時睡眠。", "已在 %d%% 時休眠。", "已在 %d%% 時混合睡眠。",
     "已在 %d%% 時關機。", "已在 %d%% 時執行你的指令。"},
};

const Texts& textsFor(const std::string& language) {
  if (language == "zh-Hans") return kSimplified;
  if (language == "zh-Hant") return kTraditional;
  return kEnglish;
}

// The level as a whole percent, never above what was read.
int wholePercent(double level) {
  return static_cast<int>(std::floor(std::max(0.0, level)));
}

std::string formatted(const char* format, int a, int b = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// ", about 1 h 5 m" or, under an hour, ", about 7 min" in the formats given; empty when the
// time is not known.
// Whole minutes cut, never rounded up: a warning never promises more than the battery has.
std::string timeLeft(const char* hours, const char* minutesOnly, const char* underMinute,
                     const Event& e) {
  if (!e.minutesToEmpty) return std::string();
  const int minutes = static_cast<int>(std::floor(std::clamp(*e.minutesToEmpty, 0.0, 1e6)));
  if (minutes < 1) return underMinute;
  if (minutes < 60) return formatted(minutesOnly, minutes);
  return formatted(hours, minutes / 60, minutes % 60);
}

std::string levelAndTime(const Texts& t, const Event& e) {
  if (e.byWord) return t.noPercent;
  return formatted(t.left, wholePercent(e.level)) +
         timeLeft(t.timeLeft, t.minutesLeft, t.underMinute, e);
}

bool chinese(const std::string& language) {
  return language == "zh-Hans" || language == "zh-Hant";
}

}  // namespace

Message messageFor(const Event& e, const Settings& s, const std::string& language) {
  const Texts& t = textsFor(language);
  Message m;
  m.cancel = t.cancel;
  if (e.kind == Event::announce) {
    char text[256];
    std::snprintf(text, sizeof text, e.chargerIn ? t.weakSeconds : t.inSeconds,
                  t.actions[static_cast<int>(s.action)], static_cast<int>(std::lround(e.delay)));
    m.summary = t.action;
    m.body = levelAndTime(t, e) + (chinese(language) ? "。" : ". ") + text;
    return m;
  }
  if (e.kind == Event::act) {
    m.summary = t.action;
    m.body = formatted(t.done[static_cast<int>(s.action)], wholePercent(e.level));
    return m;
  }
  m.summary = e.stage == Stage::low ? t.low : t.critical;
  m.body = levelAndTime(t, e) + (e.chargerIn ? t.weak : t.plugIn);
  return m;
}

std::string lineFor(const Event& e, const Settings& s, double now) {
  const std::string level =
      e.byWord ? std::string(e.stage == Stage::low ? "level Low" : "level Critical")
               : std::to_string(wholePercent(e.level)) + "%";
  const std::string left =
      timeLeft(", about %d h %d m left", ", about %d min left", ", under a minute left", e);
  const std::string action = actionName(s.action);
  switch (e.kind) {
    case Event::warn:
      return std::string("low-battery ") + (e.stage == Stage::low ? "low " : "critical ") + level +
             left;
    case Event::announce:
      return "low-battery action " + action + " in " +
             std::to_string(static_cast<long>(std::lround(e.at - now))) + " s, at " + level + left;
    case Event::act:
      return "low-battery action " + action;
    case Event::cancel:
      return "low-battery action cancelled";
    case Event::withdraw:
      return "low-battery over: external power";
  }
  return std::string();
}

std::string failureSummary(const std::string& language) {
  return textsFor(language).failed;
}

std::string failureLine(Action action, const std::string& why) {
  return std::string("low-battery action ") + actionName(action) + " failed: " + why;
}

}  // namespace host::low_battery
