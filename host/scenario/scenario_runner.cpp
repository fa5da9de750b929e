#include "host/scenario/scenario_runner.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "common/text_format.h"
#include "common/text_out.h"
#include "host/scenario/transcript.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace host {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

ScenarioRunner::~ScenarioRunner() {
  for (auto& [number, controller] : controllers_) {
    objc_msgSend<void>(controller, sel_registerName("dealloc"));
  }
}

bool ScenarioRunner::run(const Command& command, std::string& why) {
  const std::string settingsPath = platform::deviceFilePath(brimwell::kSettingsPath);
  return std::visit(
      Overloaded{
          [&](const StatusCommand& c) {
            deliverStatus(springBoard_, *c.dictionary);
            return true;
          },
          [&](const SettingsCommand& c) {
            if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return false;
            std::string cause;
            if (!brimwell::writePropertyListAtomically(*c.dictionary, settingsPath, &cause)) {
              why = "cannot write " + settingsPath + ": " + cause;
              return false;
            }
            return true;
          },
          [&](const SettingsNoneCommand&) {
            if (unlink(settingsPath.c_str()) != 0 && errno != ENOENT) {
              why = "cannot remove " + settingsPath + ": " + std::strerror(errno);
              return false;
            }
            return true;
          },
          [&](const SettingsRawCommand& c) {
            if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return false;
            bool written = false;
            if (std::FILE* out = std::fopen(settingsPath.c_str(), "wb")) {
              brimwell::writeText(out, c.bytes);
              // Closing flushes what was written and tells of any failure on the way.
              const bool failed = std::ferror(out) != 0;
              written = std::fclose(out) == 0 && !failed;
            }
            if (!written) why = "cannot write " + settingsPath;
            return written;
          },
          [&](const LanguageCommand& c) {
            std::string list;
            for (const std::string& tag : c.languages) list += (list.empty() ? "" : ",") + tag;
            setenv("SIM_LANGUAGES", list.c_str(), 1);
            return true;
          },
          [&](const ScreenCommand& c) {
            const std::string size =
                brimwell::shortestDecimal(c.width) + "x" + brimwell::shortestDecimal(c.height);
            setenv("SIM_SCREEN", size.c_str(), 1);
            return true;
          },
          [&](const IdiomCommand& c) {
            setenv("SIM_IDIOM", c.idiom.c_str(), 1);
            return true;
          },
          [&](const OrientationCommand& c) {
            setenv("SIM_ORIENTATION", std::to_string(c.orientation).c_str(), 1);
            return true;
          },
          [&](const LockCommand& c) {
            brimwell::writeText(out_, "lock " + std::to_string(c.number) + '\n');
            auto* controller = new SBLockScreenBatteryChargingViewController(c.number);
            controllers_[c.number] = controller;
            controllerView(controller);
            printLiveViews();
            return true;
          },
          [&](const UnlockCommand& c) {
            brimwell::writeText(out_, "unlock " + std::to_string(c.number) + '\n');
            auto found = controllers_.find(c.number);
            if (found != controllers_.end()) {
              SBLockScreenBatteryChargingViewController* controller = found->second;
              controllers_.erase(found);
              objc_msgSend<void>(controller, sel_registerName("dealloc"));
            }
            printLiveViews();
            return true;
          },
      },
      command);
}

void ScenarioRunner::printLiveViews() {
  for (const auto& [number, controller] : controllers_) {
    printSubviews(out_, number, controller->rootView);
  }
}

}  // namespace host
