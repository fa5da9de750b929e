#include "tools/prefs_app.h"

#include <filesystem>
#include <string>

#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "tools/prefs_settings.h"

namespace {

using brimwell::Plist;

constexpr const char* kUsage =
    "usage: brimwell-prefs [show]\n"
    "       brimwell-prefs set KEY VALUE\n"
    "       brimwell-prefs unset KEY\n"
    "       brimwell-prefs reset\n"
    "       brimwell-prefs --version | --help\n"
    "The Brimwell plug-in's settings: on the device SIM_DEVICE_ROOT names, else in\n"
    "$XDG_CONFIG_HOME/brimwell (~/.config/brimwell). Integers for chargeMode, alertLevel\n"
    "and textColor; on/off, yes/no, true/false or 1/0 for isRepeat, isPopAlert, isVibrate\n"
    "and isSound. reset removes these seven and keeps any other key.\n";

int fail(std::ostream& err, int status, const std::string& why) {
  err << "brimwell-prefs: " << why << "\n";
  return status;
}

}  // namespace

int runPrefs(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::string command = argc > 1 ? argv[1] : "show";
  const size_t operands = argc > 2 ? static_cast<size_t>(argc - 2) : 0;
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  if (command == "--version") {
    out << "brimwell-prefs " << BRIMWELL_VERSION << "\n";
    return 0;
  }
  const std::string path = platform::deviceFilePath(brimwell::kSettingsPath);
  const bool exists = std::filesystem::exists(path);
  std::string unreadable;
  Plist file = exists ? brimwell::readDictionaryFile(path, &unreadable) : Plist::newDictionary();

  if (command == "show") {
    if (operands != 0) return fail(err, 2, "show takes nothing");
    out << "Brimwell settings in " << path << (exists ? "" : " (no file yet)") << ":\n";
    if (!file) {
      out << "  (the file is not a settings dictionary (" << unreadable
          << "): the plug-in reads every key as 0/off)\n";
    }
    const Plist empty = Plist::newDictionary();
    for (const std::string& line : prefs::describe(file ? file : empty)) out << line << "\n";
    return 0;
  }

  if (command == "set" || command == "unset") {
    const size_t wanted = command == "set" ? 2 : 1;
    if (operands != wanted) {
      return fail(err, 2, command == "set" ? "set takes KEY VALUE" : "unset takes KEY");
    }
    const prefs::Setting* setting = prefs::findSetting(argv[2]);
    if (!setting)
      return fail(err, 2, std::string("unknown setting '") + argv[2] + "' (see --help)");
    Plist value;
    if (command == "set") {
      std::string why;
      value = prefs::valueFor(*setting, argv[3], why);
      if (!value) return fail(err, 2, why);
    }
    if (!file) {
      return fail(err, 1,
                  path + " is not a settings dictionary (" + unreadable +
                      "); 'brimwell-prefs reset' starts it anew");
    }
    if (value) {
      file.setItem(setting->key, std::move(value));
    } else {
      file.removeItem(setting->key);
    }
  } else if (command == "reset") {
    if (operands != 0) return fail(err, 2, "reset takes nothing");
    if (!file) file = Plist::newDictionary();
    for (const prefs::Setting& s : prefs::settings()) {
      file.removeItem(s.key);
    }
  } else {
    return fail(err, 2, "unknown command '" + command + "' (see --help)");
  }

  std::string why;
  if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return fail(err, 1, why);
  if (!brimwell::writePropertyListAtomically(file, path, &why, SIZE_MAX,
                                             brimwell::Durability::synced)) {
    return fail(err, 1, "cannot write " + path + ": " + why);
  }
  return 0;
}
