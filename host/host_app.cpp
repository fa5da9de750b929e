#include "host/host_app.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/host_classes.h"
#include "host/scenario.h"
#include "host/scenario_runner.h"
#include "host/transcript.h"
#include "platform/foundation/device_environment.h"
#include "platform/runtime/loader.h"

namespace {

constexpr const char* kUsage =
    "usage: springboard-sim --script FILE\n"
    "The stand-in home-screen host: loads the plug-ins in the device's\n"
    "/Library/MobileSubstrate/DynamicLibraries and delivers battery status changes to them.\n"
    "  --script FILE   run a scenario (FILE may be -) and print what happens, then exit\n"
    "  --help          show this help\n"
    "The device is SIM_DEVICE_ROOT (default /).\n";

int usageError(const std::string& why) {
  std::cerr << "springboard-sim: " << why << " (see --help)\n";
  return 2;
}

bool readScript(const std::string& path, std::string& text) {
  std::ostringstream buffer;
  if (path == "-") {
    buffer << std::cin.rdbuf();
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    buffer << in.rdbuf();
  }
  text = buffer.str();
  return true;
}

// A device has a /tmp; the simulated one gets it before anything runs.
void prepareDevice() {
  std::error_code ignored;
  std::filesystem::create_directories(platform::deviceFilePath("/tmp"), ignored);
}

void startHost(platform::Presenter* presenter, std::ostream& transcript) {
  platform::setPresenter(presenter);
  registerHostClasses(
      HostListener{[&transcript] { transcript << "host batteryStatusDidChange:\n"; }});
  // The host's classes exist before any plug-in's constructor runs.
  platform::loadDynamicLibraries();
}

int runScript(const std::string& path) {
  std::string text;
  if (!readScript(path, text)) {
    std::cerr << "springboard-sim: cannot read " << path << "\n";
    return 2;
  }
  const std::string base =
      path == "-" ? std::string() : std::filesystem::path(path).parent_path().string();
  const host::Scenario scenario = host::parseScenario(text, base);
  if (scenario.error) {
    std::cerr << "line " << scenario.error->line << ": " << scenario.error->why << "\n";
    return 2;
  }

  prepareDevice();
  host::TranscriptPresenter presenter(std::cout);
  startHost(&presenter, std::cout);
  SpringBoard springBoard;
  int status = 0;
  {
    host::ScenarioRunner runner(springBoard, std::cout);
    for (const host::Command& command : scenario.commands) {
      std::string why;
      if (!runner.run(command, why)) {
        std::cerr << "springboard-sim: " << why << "\n";
        status = 1;
        break;
      }
    }
  }
  std::cout.flush();
  platform::setPresenter(nullptr);
  return status != 0 ? status : (std::cout ? 0 : 1);
}

}  // namespace

int runSpringBoardSim(int argc, char** argv) {
  std::string script;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--script") {
      if (i + 1 >= argc) return usageError("--script needs a FILE");
      script = argv[++i];
    } else {
      return usageError("unknown argument '" + arg + "'");
    }
  }
  if (script.empty()) return usageError("nothing to do: give --script FILE");
  return runScript(script);
}
