// Whether a write survives a power loss: fsync() and rename() replaced for this program (and the
// libraries it loads) record the order in which a replacement reaches the disk.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/status_keys.h"
#include "platform/foundation/ns_dictionary.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tools/prefs_app.h"

namespace {
bool gRecording = false;
std::vector<std::string> gEvents;  // "fsync PATH", "rename FROM TO"

std::string pathOf(int fd) {
  char path[PATH_MAX];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : "?";
}
}  // namespace

#define INTERPOSED __attribute__((visibility("default")))

extern "C" INTERPOSED int fsync(int fd) {
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
  if (gRecording) gEvents.push_back("fsync " + pathOf(fd));
  return real(fd);
}

extern "C" INTERPOSED int rename(const char* from, const char* to) {
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
  if (gRecording) gEvents.push_back(std::string("rename ") + from + " " + to);
  return real(from, to);
}

namespace {

using testing_support::TempDir;

TEST(Durability, TheSettingsAreSyncedBeforeTheRenameAndTheirFolderAfterItTheStatusIsNot) {
  TempDir root;
  testing_support::ScopedEnvironment env;
  env.set("SIM_DEVICE_ROOT", root.path());
  const std::string prefs = root.path() + "/var/mobile/Library/Preferences";
  const std::string settings = prefs + "/org.tarnel.Brimwell.plist";
  const std::string status = root.path() + "/tmp/batteryStatus.plist";
  auto runPrefsWith = [](std::vector<const char*> args) {
    args.insert(args.begin(), "brimwell-prefs");
    std::ostringstream out, err;
    return runPrefs(static_cast<int>(args.size()), args.data(), out, err) == 0;
  };
  const struct {
    const char* name;
    std::function<bool()> write;
    std::vector<std::string> events;  // the temporary file's random part as <random>
  } cases[] = {
      {"brimwell-prefs set",
       [&] {
         return runPrefsWith({"set", "alertLevel", "80"});
       },
       {"fsync " + prefs + "/.org.tarnel.Brimwell.plist.<random>",
        "rename " + prefs + "/.org.tarnel.Brimwell.plist.<random> " + settings, "fsync " + prefs}},
      {"brimwell-prefs reset",
       [&] { return runPrefsWith({"reset"}); },
       {"fsync " + prefs + "/.org.tarnel.Brimwell.plist.<random>",
        "rename " + prefs + "/.org.tarnel.Brimwell.plist.<random> " + settings, "fsync " + prefs}},
      {"the plug-in's status write",
       [&] {
         root.write("/tmp/.keep", "");
         return NSDictionary(brimwell::Plist::newDictionary())
             .writeToFile(brimwell::kBatteryStatusPath, true);
       },
       {"rename " + root.path() + "/tmp/.batteryStatus.plist.<random> " + status}},
  };
  for (const auto& c : cases) {
    gEvents.clear();
    gRecording = true;
    const bool written = c.write();
    gRecording = false;
    EXPECT_TRUE(written) << c.name;
    std::vector<std::string> events;
    for (const std::string& e : gEvents) {
      events.push_back(std::regex_replace(e, std::regex(R"(\.[0-9a-f]{16}\b)"), ".<random>"));
    }
    EXPECT_EQ(events, c.events) << c.name;
  }
}

}  // namespace
