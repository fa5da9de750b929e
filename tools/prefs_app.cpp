#include "tools/prefs_app.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/device_keys.h"
#include "common/dictionary_file.h"
#include "common/laptop_settings.h"
#include "common/settings_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/simulated_device.h"
#include "tools/prefs_charge.h"
#include "tools/prefs_charge_bus.h"
#include "tools/prefs_devices.h"
#include "tools/prefs_settings.h"

namespace {

using brimwell::Plist;

constexpr const char* kUsage =
    "usage: brimwell-prefs [show]\n"
    "       brimwell-prefs get KEY\n"
    "       brimwell-prefs set KEY VALUE\n"
    "       brimwell-prefs unset KEY\n"
    "       brimwell-prefs reset\n"
    "       brimwell-prefs device NAME [lowLevel N|criticalLevel N|mute|unmute|reset]\n"
    "       brimwell-prefs set chargeLimit|chargeStart N [--battery NAME]\n"
    "       brimwell-prefs get chargeLimit|chargeStart [--battery NAME]\n"
    "       brimwell-prefs charge-full-once [--battery NAME]\n"
    "       brimwell-prefs --version | --help\n"
    "The Brimwell plug-in's settings and the host's low-battery warnings, on the\n"
    "device SIM_DEVICE_ROOT names, else in $XDG_CONFIG_HOME/brimwell\n"
    "(~/.config/brimwell). On/off also as yes/no, true/false or 1/0. A value you\n"
    "have not set is marked (default): the one used in its place, on a laptop the\n"
    "laptop's default. unset or reset puts a key back to its default; reset keeps\n"
    "any other key. A device (a mouse, a headset...) is named by its serial or its\n"
    "name as the listing quotes it (Mouse \"MX Master 3\" is MX Master 3); it warns\n"
    "at its lowLevel (10 unless set) and criticalLevel (5), and a muted one never;\n"
    "reset drops its entry.\n"
    "The machine's charge limits are kept by the charge service (brimwell-charge),\n"
    "never in the file: chargeLimit stops charging at N % (1 to 100), chargeStart\n"
    "starts it again below N % where the battery offers it, charge-full-once lifts\n"
    "the limit until external power goes; --battery NAME (BAT0) changes one battery\n"
    "rather than each. The settings:\n";

constexpr const char* kExitStatuses =
    "Exit status: 0 done; 1 the settings file or its folder cannot be read or\n"
    "written, or the charge service refused or could not be reached; 2 a bad\n"
    "command, key or value.\n";

int fail(std::ostream& err, int status, const std::string& why) {
  err << "brimwell-prefs: " << why << "\n";
  return status;
}

// A command line that names a known command, its operands, and a value the setting accepts.
struct Request {
  std::string command;
  const prefs::Setting* setting = nullptr;
  Plist value;  // for set
  std::optional<prefs::DeviceRequest> device;
};

// 0 when the request is good, else the exit status with the line said.
int parseRequest(int argc, const char* const* argv, Request& r, std::ostream& err) {
  r.command = argc > 1 ? argv[1] : "show";
  const size_t operands = argc > 2 ? static_cast<size_t>(argc - 2) : 0;
  if (r.command == "show" || r.command == "reset") {
    return operands == 0 ? 0 : fail(err, 2, r.command + " takes nothing");
  }
  if (r.command == "device") {
    std::string why;
    r.device = prefs::parseDeviceRequest({argv + 2, argv + argc}, why);
    return r.device ? 0 : fail(err, 2, why);
  }
  if (r.command != "set" && r.command != "unset" && r.command != "get") {
    return fail(err, 2, "unknown command '" + r.command + "' (see --help)");
  }
  if (operands != (r.command == "set" ? 2u : 1u)) {
    return fail(err, 2, r.command == "set" ? "set takes KEY VALUE" : r.command + " takes KEY");
  }
  r.setting = prefs::findSetting(argv[2]);
  if (!r.setting)
    return fail(err, 2, std::string("unknown setting '") + argv[2] + "' (see --help)");
  if (r.command == "set") {
    std::string why;
    r.value = prefs::valueFor(*r.setting, argv[3], why);
    if (!r.value) return fail(err, 2, why);
  }
  return 0;
}

// The settings file as it is: absent (an empty dictionary), a dictionary, or a regular file that
// is none (nil, unreadable says why). False, with why, when it or its folder cannot be looked at
// or it is not a file.
bool readSettings(const std::string& path, bool& exists, Plist& file, std::string& unreadable,
                  std::string& why) {
  if (const auto refusal = platform::placeRefusal(brimwell::kSettingsPath)) {
    why = *refusal;
    return false;
  }
  struct stat info;
  exists = ::stat(path.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) {
    why = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (exists && !S_ISREG(info.st_mode)) {
    why = path + " is not a file";
    return false;
  }
  if (!exists) {
    file = Plist::newDictionary();
    return true;
  }
  file = brimwell::readDictionaryFile(path, &unreadable);
  return true;
}

// The user's own settings are a laptop's (only the service on the machine's own battery reads
// them), and so is a simulated device's file the service has filled.
bool onALaptop(const Plist& file) {
  return !platform::onSimulatedDevice() || brimwell::hasLaptopDefaults(file);
}

void show(std::ostream& out, const std::string& path, bool exists, const Plist& file,
          const std::string& unreadable) {
  out << "Brimwell settings in " << path << (exists ? "" : " (no file yet)") << ":\n";
  if (!file) {
    out << "  (the file is not a settings dictionary (" << unreadable
        << "): the plug-in reads every key as 0/off)\n";
  }
  const Plist empty = Plist::newDictionary();
  for (const std::string& line : prefs::describe(file ? file : empty, file && onALaptop(file)))
    out << line << "\n";
  const Plist seen =
      brimwell::readDictionaryFile(platform::deviceFilePath(brimwell::kDevicesStatusPath));
  for (const std::string& line : prefs::describeDevices(file ? file : empty, seen))
    out << line << "\n";
  const auto limits = prefs::callChargeService(prefs::ChargeCall{}, prefs::kReadBoundSeconds);
  for (const std::string& line : prefs::describeChargeLimits(limits)) out << line << "\n";
}

// The change asked for; on a laptop, an unset key (reset: every key) back at its default.
void change(Plist& file, Request& r) {
  const bool laptop = onALaptop(file);
  if (r.command == "reset") {
    for (const prefs::Setting& s : prefs::settings()) file.removeItem(s.key);
    file.removeItem(brimwell::setting::kLaptopDefaults);
    file.removeItem(brimwell::setting::kDevices);
  } else if (r.device) {
    prefs::changeDevice(file, *r.device);
  } else if (r.value) {
    file.setItem(r.setting->key, std::move(r.value));
    brimwell::markChosen(file, r.setting->key);
  } else {
    file.removeItem(r.setting->key);
  }
  if (laptop) brimwell::fillLaptopDefaults(file);
}

// A name the host has not seen stays in the file (the device may be off, or not paired yet),
// but a typo is said.
void noteUnseenDevice(const std::string& name, std::ostream& err) {
  const Plist seen =
      brimwell::readDictionaryFile(platform::deviceFilePath(brimwell::kDevicesStatusPath));
  if (const auto note = prefs::unseenDeviceNote(seen, name)) {
    err << "brimwell-prefs: note: " << *note << "\n";
  }
}

int runRequest(Request& r, std::ostream& out, std::ostream& err) {
  const std::string path = platform::deviceFilePath(brimwell::kSettingsPath);
  bool exists = false;
  Plist file;
  std::string unreadable, why;
  if (!readSettings(path, exists, file, unreadable, why)) return fail(err, 1, why);
  if (r.command == "show") {
    show(out, path, exists, file, unreadable);
    return 0;
  }
  if (r.device && r.device->change.empty()) {
    const Plist empty = Plist::newDictionary();
    out << "Device \"" << r.device->name << "\" in " << path << ":\n";
    const Plist seen =
        brimwell::readDictionaryFile(platform::deviceFilePath(brimwell::kDevicesStatusPath));
    for (const std::string& line : prefs::describeDevice(file ? file : empty, r.device->name, seen))
      out << line << "\n";
    return 0;
  }
  if (r.command == "get") {
    const Plist empty = Plist::newDictionary();
    out << prefs::shownValue(*r.setting, file ? file : empty, file && onALaptop(file)) << "\n";
    return 0;
  }
  if (r.command == "reset" && !file) {
    file = Plist::newDictionary();
  } else if (!file) {
    return fail(err, 1,
                path + " is not a settings dictionary (" + unreadable +
                    "); 'brimwell-prefs reset' starts it anew");
  }
  change(file, r);
  if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return fail(err, 1, why);
  if (!brimwell::writePropertyListAtomically(file, path, &why, SIZE_MAX,
                                             brimwell::Durability::synced)) {
    return fail(err, 1, "cannot write " + path + ": " + why);
  }
  if (const auto note = prefs::levelOrderNote(file))
    err << "brimwell-prefs: note: " << *note << "\n";
  if (const auto note = r.device ? prefs::deviceLevelOrderNote(file, r.device->name) : std::nullopt)
    err << "brimwell-prefs: note: " << *note << "\n";
  if (r.device) noteUnseenDevice(r.device->name, err);
  return 0;
}

int runCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h" || first == "help") {
    out << kUsage;
    for (const std::string& line : prefs::help()) out << line << "\n";
    out << kExitStatuses;
    return 0;
  }
  if (first == "--version") {
    out << "brimwell-prefs " << BRIMWELL_VERSION << "\n";
    return 0;
  }
  const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
  if (prefs::isChargeCommand(args)) {
    std::string why;
    const auto command = prefs::parseChargeCommand(args, why);
    if (!command) return fail(err, 2, why);
    return prefs::runChargeCommand(*command, prefs::callChargeService, out, err);
  }
  Request request;
  if (const int status = parseRequest(argc, argv, request, err)) return status;
  try {
    return runRequest(request, out, err);
  } catch (const std::exception& e) {
    // Whatever the file system throws is one line too, never an abort.
    return fail(err, 1, e.what());
  }
}
}  // namespace

int runPrefs(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  if (platform::guardStandardDescriptors()) out.setstate(std::ios::badbit);
  const int status = runCommand(argc, argv, out, err);
  out.flush();
  if (status == 0 && !out) return fail(err, 1, "cannot write to standard output");
  return status;
}
