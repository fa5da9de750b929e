#include "viewer/viewer_options.h"

const char* const kViewerUsage =
    "usage: BrimwellViewer [--once | --json | --format FORMAT] [--follow]\n"
    "Shows the battery from the battery status file, refreshed every 10 seconds.\n"
    "  --once           print one refresh, one line per screen line, and exit\n"
    "  --json           print one refresh as a JSON object and exit (--format json)\n"
    "  --format FORMAT  one refresh for a status bar: json, waybar, i3blocks or polybar\n"
    "  --follow         with a format: a line at start and one each time the status file\n"
    "                   changes, until stopped\n"
    "  --version        print the version and exit\n"
    "  --help           show this help\n"
    "Keys on the live screen: q quits, arrows scroll.\n";

namespace {

bool formatNamed(const std::string& name, OutputFormat& format) {
  static const struct {
    const char* name;
    OutputFormat format;
  } kFormats[] = {{"json", OutputFormat::json},
                  {"waybar", OutputFormat::waybar},
                  {"i3blocks", OutputFormat::i3blocks},
                  {"polybar", OutputFormat::polybar}};
  for (const auto& f : kFormats) {
    if (name == f.name) {
      format = f.format;
      return true;
    }
  }
  return false;
}

}  // namespace

bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& o, std::string& why) {
  const char* outputFlag = "--json";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (arg == "--once") {
      o.once = true;
    } else if (arg == "--json") {
      o.format = OutputFormat::json;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      value = arg == "--format" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(9);
      if (!formatNamed(value, o.format)) {
        why = "--format takes json, waybar, i3blocks or polybar, not '" + value + "'";
        return false;
      }
      outputFlag = "--format";
    } else if (arg == "--follow") {
      o.follow = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else {
      why = "unknown argument '" + arg + "'";
      return false;
    }
  }
  const bool output = o.format != OutputFormat::screen;
  if (o.once && output)
    why = std::string("--once and ") + outputFlag + " are two outputs: choose one";
  if (o.follow && !output) why = "--follow goes with --json or --format";
  return why.empty();
}
