#include "host/app/run_device.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/settings_keys.h"
#include "common/status_keys.h"
#include "common/text_out.h"
#include "platform/foundation/installed_places.h"
#include "platform/foundation/simulated_device.h"

namespace fs = std::filesystem;

namespace host {
namespace {

// The simulated phone's and the recordings' own device, kept from one run to the next.
bool makeKeptDevice(std::string& root, std::string& why) {
  const std::string cache = platform::userFolderPath(platform::UserFolder::cache);
  root = cache + "/simulated-device";
  return platform::makePrivateFolder(cache, &why) && platform::makePrivateFolder(root, &why);
}

// A fresh device for one scenario, so that each transcript starts from nothing.
bool makeFreshDevice(std::string& root, std::string& why) {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "brimwell-scenario-XXXXXX").string();
  if (error || !::mkdtemp(pattern.data())) {
    why = "cannot make a simulated device in " + pattern + ": " + std::strerror(errno);
    return false;
  }
  root = pattern;
  return true;
}

}  // namespace

std::unique_ptr<RunDevice> RunDevice::prepare(const HostOptions& options, std::string& why) {
  std::unique_ptr<RunDevice> device(new RunDevice(""));
  const bool ownDevice = !platform::onSimulatedDevice() && options.sysfs.empty();
  if (ownDevice) {
    std::string root;
    const bool fresh = !options.script.empty();
    if (!(fresh ? makeFreshDevice(root, why) : makeKeptDevice(root, why))) return nullptr;
    if (fresh) device->temporary_ = root;
    if (!platform::useSimulatedDevice(root, &why)) return nullptr;
    brimwell::writeText(stderr, "springboard-sim: on a simulated device of its own, " + root +
                                    (fresh ? ", removed at the end" : "") +
                                    " (to watch it: SIM_DEVICE_ROOT=" + root +
                                    " BrimwellViewer)\n");
  }
  // The settings are only read: a folder that is not there yet is fine, a planted one is not.
  if (const auto refusal = platform::placeRefusal(brimwell::kSettingsPath)) {
    why = *refusal;
    return nullptr;
  }
  if (!platform::makeFolderFor(brimwell::kBatteryStatusPath, &why)) return nullptr;
  return device;
}

RunDevice::~RunDevice() {
  std::error_code ignored;
  if (!temporary_.empty()) fs::remove_all(temporary_, ignored);
}

}  // namespace host
