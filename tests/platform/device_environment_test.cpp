#include "platform/foundation/device_environment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/foundation/installed_places.h"
#include "platform/foundation/message_catalogue.h"
#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_dictionary.h"
#include "platform/foundation/ns_string.h"
#include "platform/sysinfo/machine_name.h"
#include "platform/sysinfo/sysctl.h"
#include "tests/support/device_root.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedEnvironment;

void setOrUnset(ScopedEnvironment& env, const char* name, const char* value) {
  if (value) {
    env.set(name, value);
  } else {
    env.unset(name);
  }
}

TEST(DeviceFilePath, UnderTheDeviceRootOrWhereAnInstalledSystemKeepsIt) {
  const std::string prefix = platform::installPrefix();
  // Without an absolute XDG_RUNTIME_DIR the status goes where systemd made the user's runtime
  // folder, on a machine where it did, before the cache.
  const std::string systemd = "/run/user/" + std::to_string(geteuid());
  struct stat systemdFolder;
  const bool bySystemd =
      lstat(systemd.c_str(), &systemdFolder) == 0 && !platform::privateFolderRefusal(systemd);
  auto runtimeElse = [&](const std::string& cached) {
    return bySystemd ? systemd + "/brimwell/batteryStatus.plist" : cached;
  };
  const struct {
    const char* root;
    const char* runtime;  // XDG_RUNTIME_DIR
    const char* cache;    // XDG_CACHE_HOME
    const char* config;   // XDG_CONFIG_HOME
    const char* devicePath;
    std::string expected;
  } cases[] = {
      {"/sim", "/run/user/7", nullptr, nullptr, "/tmp/batteryStatus.plist",
       "/sim/tmp/batteryStatus.plist"},
      {"/sim/", nullptr, nullptr, nullptr, "/tmp/a", "/sim/tmp/a"},
      {"/", nullptr, nullptr, nullptr, "/tmp/a", "/tmp/a"},
      {"relative", nullptr, nullptr, nullptr, "/tmp/a", "relative/tmp/a"},
      {nullptr, "/run/user/7", "/c", nullptr, "/tmp/batteryStatus.plist",
       "/run/user/7/brimwell/batteryStatus.plist"},
      {nullptr, nullptr, "/c", nullptr, "/tmp/batteryStatus.plist",
       runtimeElse("/c/brimwell/batteryStatus.plist")},
      {nullptr, nullptr, nullptr, nullptr, "/tmp/batteryStatus.plist",
       runtimeElse("/h/.cache/brimwell/batteryStatus.plist")},
      // Relative XDG paths are ignored.
      {nullptr, "run/user/7", "/c", nullptr, "/tmp/batteryStatus.plist",
       runtimeElse("/c/brimwell/batteryStatus.plist")},
      {nullptr, nullptr, "c", nullptr, "/tmp/batteryStatus.plist",
       runtimeElse("/h/.cache/brimwell/batteryStatus.plist")},
      {nullptr, nullptr, nullptr, "cfg",
       "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist",
       "/h/.config/brimwell/org.tarnel.Brimwell.plist"},
      {nullptr, "/run/user/7", nullptr, nullptr, "/tmp", "/run/user/7/brimwell"},
      {nullptr, nullptr, nullptr, "/cfg",
       "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist",
       "/cfg/brimwell/org.tarnel.Brimwell.plist"},
      {nullptr, nullptr, nullptr, nullptr,
       "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist",
       "/h/.config/brimwell/org.tarnel.Brimwell.plist"},
      {nullptr, nullptr, nullptr, nullptr, "/Library/MobileSubstrate/DynamicLibraries",
       prefix + "/lib/brimwell/DynamicLibraries"},
      {nullptr, nullptr, nullptr, nullptr, "/System/Library/Audio/UISounds/alert_sound.wav",
       prefix + "/share/brimwell/sounds/alert_sound.wav"},
      {nullptr, nullptr, nullptr, nullptr, "/var/mobile/Library/Brimwell/history.sqlite",
       "/h/.local/state/brimwell/history.sqlite"},
      {nullptr, nullptr, nullptr, nullptr, "/etc/elsewhere", "/etc/elsewhere"},
      {nullptr, nullptr, nullptr, nullptr, "/tmpfile", "/tmpfile"},
  };
  for (const auto& c : cases) {
    ScopedEnvironment env;
    env.set("HOME", "/h");
    setOrUnset(env, "SIM_DEVICE_ROOT", c.root);
    setOrUnset(env, "XDG_RUNTIME_DIR", c.runtime);
    setOrUnset(env, "XDG_CACHE_HOME", c.cache);
    setOrUnset(env, "XDG_CONFIG_HOME", c.config);
    env.unset("XDG_STATE_HOME");
    EXPECT_EQ(platform::deviceFilePath(c.devicePath), c.expected)
        << (c.root ? c.root : "(installed)") << " " << c.devicePath;
  }
}

TEST(DeviceFilePath, TheUsersOwnFoldersArePrivate) {
  testing_support::TempDir dir;
  ScopedEnvironment env;
  env.unset("SIM_DEVICE_ROOT").set("XDG_RUNTIME_DIR", dir.path() + "/run");
  ASSERT_TRUE(platform::makeFolderFor("/tmp/batteryStatus.plist"));
  struct stat info;
  ASSERT_EQ(stat((dir.path() + "/run/brimwell").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(PreferredLanguages, FromTheDeviceListOrTheLocale) {
  const struct {
    const char* simLanguages;
    const char* language;
    const char* lcAll;
    const char* lang;
    std::vector<std::string> expected;
  } cases[] = {
      {"zh-Hans,en", nullptr, nullptr, nullptr, {"zh-Hans", "en"}},
      {"", "fr", nullptr, "de_DE.UTF-8", {}},
      {" zh-Hant , fr ", nullptr, nullptr, nullptr, {"zh-Hant", "fr"}},
      {nullptr, "zh_TW:fr", nullptr, nullptr, {"zh-Hant", "fr"}},
      {nullptr, nullptr, "zh_CN.UTF-8", "de_DE", {"zh-Hans"}},
      {nullptr, nullptr, nullptr, "zh_SG", {"zh-Hans"}},
      {nullptr, nullptr, nullptr, "zh_HK.UTF-8", {"zh-HK"}},
      {nullptr, nullptr, nullptr, "fr_CA.UTF-8@euro", {"fr"}},
      {nullptr, nullptr, nullptr, "C.UTF-8", {"en"}},
      {nullptr, nullptr, nullptr, "POSIX", {"en"}},
      {nullptr, nullptr, nullptr, nullptr, {"en"}},
  };
  for (const auto& c : cases) {
    ScopedEnvironment env;
    env.unset("LC_MESSAGES");
    setOrUnset(env, "SIM_LANGUAGES", c.simLanguages);
    setOrUnset(env, "LANGUAGE", c.language);
    setOrUnset(env, "LC_ALL", c.lcAll);
    setOrUnset(env, "LANG", c.lang);
    EXPECT_EQ(platform::preferredLanguages(), c.expected)
        << (c.simLanguages ? c.simLanguages : "-") << " / " << (c.lang ? c.lang : "-");
  }
}

// A tag's string tables sit in a folder whose locale reads back as the same tag.
TEST(PreferredLanguages, ATagsStringTableFolderIsALocaleOfThatTag) {
  for (const char* locale : {"zh_CN", "zh_SG", "zh_TW", "zh_HK", "fr_CA", "de"}) {
    const std::string tag = platform::languageTagForLocale(locale);
    const std::string folder = platform::localeFolderForTag(tag);
    EXPECT_EQ(folder.find('-'), std::string::npos) << folder;
    EXPECT_EQ(platform::languageTagForLocale(folder), tag) << locale << " -> " << folder;
  }
}

// The string table is chosen and read without touching what the rest of the process sees.
TEST(MainBundle, LeavesTheLanguageStateOfTheProcessAlone) {
  ScopedEnvironment env;
  env.unset("SIM_LANGUAGES").unset("LC_ALL").unset("LC_MESSAGES").set("LANGUAGE", "zh_TW:fr");
  const std::string locale = std::setlocale(LC_MESSAGES, nullptr);
  const std::vector<std::string> before = platform::preferredLanguages();
  ASSERT_EQ(before, (std::vector<std::string>{"zh-Hant", "fr"}));
  EXPECT_EQ(NSBundle::mainBundle().language(), "zh-Hant");
  EXPECT_EQ(platform::preferredLanguages(), before);
  EXPECT_STREQ(std::getenv("LANGUAGE"), "zh_TW:fr");
  EXPECT_EQ(std::setlocale(LC_MESSAGES, nullptr), locale);
}

TEST(MessageCatalogue, ReadsWhatMsgfmtWroteAndNothingElse) {
  const auto built = platform::readMessageCatalogue(
      platform::installPrefix() + "/share/locale/zh_CN/LC_MESSAGES/BrimwellViewer.mo");
  ASSERT_EQ(built.count("Draining..."), 1u);
  EXPECT_EQ(built.at("Draining..."), "\u653e\u7535\u4e2d...");
  EXPECT_EQ(built.count(""), 0u) << "the header is no translation";
  const std::string bytes = testing_support::readFile(
      platform::installPrefix() + "/share/locale/zh_CN/LC_MESSAGES/BrimwellViewer.mo");
  for (const std::string& broken :
       {std::string(), bytes.substr(0, 40), std::string("not a catalogue"),
        std::string(bytes).replace(12, 4, "\xff\xff\xff\x7f")}) {
    EXPECT_TRUE(platform::messageCatalogueFrom(broken).empty()) << broken.size();
  }
  EXPECT_TRUE(platform::readMessageCatalogue("/no/such.mo").empty());
}

TEST(DmiMachineName, TheFirmwaresNameForALaptop) {
  const struct {
    const char* vendor;  // nullptr: no such file
    const char* product;
    const char* version;
    std::optional<std::string> name;
  } cases[] = {
      {"LENOVO", "20XW0055GE", "ThinkPad X1 Carbon Gen 9", "LENOVO ThinkPad X1 Carbon Gen 9"},
      {"LENOVO", "20XW0055GE", "None", "LENOVO 20XW0055GE"},
      {"Dell Inc.", "XPS 13 9310", "Not Specified", "Dell Inc. XPS 13 9310"},
      {"HP", "HP EliteBook 840 G7 Notebook PC", "SBKPF", "HP EliteBook 840 G7 Notebook PC"},
      {"Framework", "Laptop (12th Gen Intel Core)", "A6", "Framework Laptop (12th Gen Intel Core)"},
      {"System manufacturer", "System Product Name", "System Version", std::nullopt},
      {"To Be Filled By O.E.M.", "  B450M Pro4  ", "To Be Filled By O.E.M.", "B450M Pro4"},
      {nullptr, "Default string", "Default string", std::nullopt},
      {"AC\xffME\x1b", "Book\x01 14", "x", "ACME Book 14"},
  };
  for (const auto& c : cases) {
    testing_support::TempDir dmi;
    if (c.vendor) dmi.write("sys_vendor", std::string(c.vendor) + "\n");
    dmi.write("product_name", std::string(c.product) + "\n");
    dmi.write("product_version", std::string(c.version) + "\n");
    EXPECT_EQ(platform::dmiMachineName(dmi.path()), c.name) << c.product;
  }
  EXPECT_EQ(platform::dmiMachineName("/no/such/folder"), std::nullopt);
}

TEST(Utf8, StrictValidation) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"iPhone7,2", true},
      {"\xE2\x84\x83", true},      // the degree Celsius sign
      {"\xF0\x9F\x94\x8B", true},  // four bytes
      {"\xFF\xFE", false},
      {"\xC0\xAF", false},          // overlong '/'
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xE2\x84", false},          // cut short
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"", true},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::isValidUtf8(c.text), c.valid) << c.text;
}

TEST(Sysctl, TwoStepMachineQuery) {
  ScopedEnvironment env;
  env.set("SIM_MODEL_IDENTIFIER", "iPad4,9");
  size_t size = 0;
  ASSERT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), 0);
  EXPECT_EQ(size, 8u);  // NUL included
  char buffer[8];
  ASSERT_EQ(sysctlbyname("hw.machine", buffer, &size, nullptr, 0), 0);
  EXPECT_STREQ(buffer, "iPad4,9");

  char small[4];
  size_t smallSize = sizeof small;
  EXPECT_EQ(sysctlbyname("hw.machine", small, &smallSize, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOMEM);
  EXPECT_EQ(sysctlbyname("hw.model", nullptr, &size, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST(Sysctl, WithoutTheSimulatedModelAnswersTheMachine) {
  ScopedEnvironment env;
  env.unset("SIM_MODEL_IDENTIFIER");
  size_t size = 0;
  ASSERT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), 0);
  EXPECT_GT(size, 1u);
}

TEST(StringWithFormat, FormatsLikePrintf) {
  EXPECT_EQ(NSString::stringWithFormat("%.2f%%", 87.5), "87.50%");
  EXPECT_EQ(NSString::stringWithFormat("%d mA", -523), "-523 mA");
  EXPECT_EQ(NSString::stringWithFormat("%s", ""), "");
  EXPECT_EQ(NSString::stringWithUTF8CString("\xFF"), std::nullopt);
  EXPECT_EQ(NSString::stringWithUTF8CString("iPhone7,2"), "iPhone7,2");
}

}  // namespace

// What a piece of code says on stderr.
class CapturedStderr {
 public:
  CapturedStderr() : saved_(dup(2)) {
    std::fflush(stderr);
    dup2(fileno(file_), 2);
  }
  ~CapturedStderr() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(stderr);
    std::string all;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) all.push_back(static_cast<char>(c));
    return all;
  }

 private:
  std::FILE* file_ = std::tmpfile();
  int saved_;
};

TEST(WriteToFile, AFailureIsSaidOnceUntilAWriteSucceedsAgain) {
  testing_support::TempDir root;
  ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  const std::string path = root.path() + "/tmp/batteryStatus.plist";
  const NSDictionary status(brimwell::Plist::newDictionary());
  const std::string said = std::string(program_invocation_short_name) + ": cannot write " + path +
                           ": rename: Is a directory\n";
  const struct {
    bool blocked;  // a folder stands where the file goes
    std::string said;
  } writes[] = {{true, said}, {true, ""}, {false, ""}, {true, said}, {true, ""}};
  for (const auto& w : writes) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(w.blocked ? path : root.path() + "/tmp");
    CapturedStderr err;
    EXPECT_EQ(status.writeToFile("/tmp/batteryStatus.plist", true), !w.blocked);
    EXPECT_EQ(err.text(), w.said);
  }
}
