#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/api.h"

// The simulated device. Only the platform reads the SIM_* variables; the product asks in the
// device's own terms (paths, languages, screen facts).
namespace platform {

// A variable's value, or null when it is unset or empty.
PLATFORM_API const char* environmentValue(const char* name);

// Opens /dev/null on a standard descriptor (0, 1, 2) that the process was started without, so
// that no file the program opens takes its number and receives its output; true when standard
// output was one of them, which the program then counts as output it could not write.
PLATFORM_API bool guardStandardDescriptors();

// This program's own file, and the folder its bin/ sits in (the build tree or the install
// prefix), where lib/ and share/ are found.
PLATFORM_API std::string executablePath();
PLATFORM_API std::string installPrefix();

// Maps an absolute device path ("/tmp/batteryStatus.plist") to where it lives here: under
// SIM_DEVICE_ROOT when that is set, else where an installed system keeps it (installed_places.h).
PLATFORM_API std::string deviceFilePath(std::string_view devicePath);

// The preferred languages, most preferred first. SIM_LANGUAGES (comma-separated; set but empty
// is an empty list) or else derived from LANGUAGE / LC_ALL / LC_MESSAGES / LANG.
PLATFORM_API std::vector<std::string> preferredLanguages();

// Turns one POSIX locale name ("zh_TW.UTF-8", "fr_FR", "C") into a device language tag.
PLATFORM_API std::string languageTagForLocale(std::string_view locale);

// The folder under share/locale that holds a language tag's string tables, as Linux names it
// ("zh-Hans" -> "zh_CN", "pt-BR" -> "pt_BR").
PLATFORM_API std::string localeFolderForTag(std::string_view tag);

// What "hw.machine" answers: SIM_MODEL_IDENTIFIER, else the firmware's name for the machine
// (from SIM_DMI_FOLDER, else /sys/class/dmi/id), else the processor architecture (uname -m).
PLATFORM_API std::string machineIdentifier();

}  // namespace platform
