#include "host/app/host_app.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/dictionary_file.h"
#include "common/text_out.h"
#include "host/app/headless_run.h"
#include "host/app/host_options.h"
#include "host/app/host_startup.h"
#include "host/app/laptop_defaults.h"
#include "host/app/run_device.h"
#include "host/app/status_file_lock.h"
#include "host/classes/host_classes.h"
#include "host/scenario/scenario.h"
#include "host/scenario/scenario_runner.h"
#include "host/scenario/transcript.h"
#include "platform/foundation/device_environment.h"
#include "platform/uikit/presenter.h"

namespace {

int runScript(const std::string& path);

}  // namespace

namespace host {

int usageError(const std::string& why) {
  brimwell::writeText(stderr, host::noticePrefix() + why + " (see --help)\n");
  return 2;
}

int answer(const std::string& text) {
  brimwell::writeLine(stdout, text);
  return standardOutputWritten() ? 0 : 1;
}

namespace {
bool outputLost = false;
}

void guardStandardOutput() {
  outputLost = platform::guardStandardDescriptors();
}

bool standardOutputWritten() {
  return std::fflush(stdout) == 0 && !std::ferror(stdout) && !outputLost;
}

}  // namespace host

namespace {

int runScript(const std::string& path) {
  std::string why;
  // Through the same small-file reader as every other input: a FIFO or a device named here
  // cannot hang the host, nor a huge file exhaust it.
  const std::optional<std::string> text = path == "-"
                                              ? brimwell::readSmallStream(STDIN_FILENO, &why)
                                              : brimwell::readSmallRegularFile(path, &why);
  if (!text) {
    brimwell::writeText(stderr, host::noticePrefix() + "cannot read " + path + ": " + why + "\n");
    return 2;
  }
  const std::string base =
      path == "-" ? std::string() : std::filesystem::path(path).parent_path().string();
  const host::Scenario scenario = host::parseScenario(*text, base);
  if (scenario.error) {
    brimwell::writeText(
        stderr, "line " + std::to_string(scenario.error->line) + ": " + scenario.error->why + "\n");
    return 2;
  }

  host::TranscriptPresenter presenter(stdout);
  host::startHost(&presenter,
                  [] { brimwell::writeText(stdout, "host batteryStatusDidChange:\n"); });
  SpringBoard springBoard;
  int status = 0;
  {
    host::ScenarioRunner runner(springBoard, stdout);
    for (const host::Command& command : scenario.commands) {
      std::string why;
      if (!runner.run(command, why)) {
        brimwell::writeText(stderr, host::noticePrefix() + why + "\n");
        status = 1;
        break;
      }
    }
  }
  const bool written = host::standardOutputWritten();
  platform::setPresenter(nullptr);
  return status != 0 ? status : (written ? 0 : 1);
}

}  // namespace

namespace host {

int runHost(const HostOptions& options, InteractiveRun interactive) {
  std::string why;
  std::unique_ptr<host::BatterySource> source;
  if (options.script.empty() && !(source = host::makeSource(options, why))) {
    brimwell::writeText(stderr, host::noticePrefix() + why + "\n");
    return 2;
  }
  const std::unique_ptr<host::RunDevice> device = host::RunDevice::prepare(options, why);
  if (!device) {
    brimwell::writeText(stderr, host::noticePrefix() + why + "\n");
    return 1;
  }
  if (!options.script.empty()) return runScript(options.script);
  // Only the host holding the status file's lock writes it and gives the alerts.
  const std::unique_ptr<host::StatusFileLock> lock = host::StatusFileLock::take(why);
  if (!lock) {
    brimwell::writeText(stderr, host::noticePrefix() + why + "\n");
    return 1;
  }
  if (!options.sysfs.empty()) {
    const std::optional<std::string> wrote = host::writeLaptopDefaults(why);
    if (wrote || !why.empty())
      brimwell::writeText(stderr, host::noticePrefix() + (wrote ? *wrote : why) + "\n");
  }
  const bool terminal = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
  if (terminal && !options.headless && interactive) return interactive(*source, options, *lock);
  return host::runHeadless(*source, options, *lock);
}

}  // namespace host
