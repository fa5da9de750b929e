#include "viewer/viewer_options.h"

#include "viewer/output/history_output.h"

std::string viewerUsage(const std::string& name) {
  return "usage: " + name + " [--once | --json | --format FORMAT] [--follow]\n       " + name +
         " --format BAR --device NAME|KIND [--follow]\n       " + name +
         " --history [--since AGE] [--format csv|json]\n       " + name +
         " --health [--format csv|json]\n       " + name +
         " --sleeps [--since AGE] [--format csv|json]\n"
         "Shows the battery from the battery status file, refreshed every 10 seconds.\n"
         "  --once           print one refresh, one line per screen line, and exit\n"
         "  --json           print one refresh as a JSON object and exit (--format json)\n"
         "  --format FORMAT  one refresh for a status bar: json, waybar, i3blocks or\n"
         "                   polybar\n"
         "  --follow         with a format: a line at start and one each time the status\n"
         "                   file or the devices change, until stopped\n"
         "  --device NAME|KIND  with a bar (waybar, i3blocks, polybar): one of the other\n"
         "                   batteries, by its name or the first of its kind (mouse,\n"
         "                   keyboard, headset, controller, pen, other)\n"
         "  --history        print the battery's history as CSV (--format json: JSON)\n"
         "  --since AGE      with --history or --sleeps: only the last minutes, hours or\n"
         "                   days (10m, 24h, 7d)\n"
         "  --health         print the packs' health log as CSV (--format json: JSON)\n"
         "  --sleeps         print each sleep and its drain as CSV (--format json: JSON)\n"
         "  --version        print the version and exit\n"
         "  --help           show this help\n"
         "Keys on the live screen: q quits, arrows scroll, g shows the history's graph.\n";
}

namespace {

bool formatNamed(const std::string& name, OutputFormat& format) {
  static const struct {
    const char* name;
    OutputFormat format;
  } kFormats[] = {{"json", OutputFormat::json},
                  {"waybar", OutputFormat::waybar},
                  {"i3blocks", OutputFormat::i3blocks},
                  {"polybar", OutputFormat::polybar},
                  {"csv", OutputFormat::csv}};
  for (const auto& f : kFormats) {
    if (name == f.name) {
      format = f.format;
      return true;
    }
  }
  return false;
}

// The history is printed as CSV or JSON, once.
bool historyOptionsFit(const ViewerOptions& o, std::string& why) {
  const char* table = o.history == HistoryTable::samples  ? "--history"
                      : o.history == HistoryTable::sleeps ? "--sleeps"
                                                          : "--health";
  if (o.once || o.follow) {
    why = std::string(table) + " prints once, in CSV or JSON: not with " +
          (o.once ? "--once" : "--follow");
  } else if (o.format != OutputFormat::screen && o.format != OutputFormat::json &&
             o.format != OutputFormat::csv) {
    why = std::string(table) + " prints CSV, or JSON with --format json";
  } else if (o.device) {
    why = "--device goes with --format waybar, i3blocks or polybar";
  } else if (o.history == HistoryTable::health && o.sinceSeconds > 0) {
    why = "--since goes with --history or --sleeps";
  }
  return why.empty();
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
      if (o.format != OutputFormat::screen && o.format != OutputFormat::json) {
        why = "--json and --format are two outputs: choose one";
        return false;
      }
      o.format = OutputFormat::json;
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      value = arg == "--format" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(9);
      const OutputFormat before = o.format;
      if (!formatNamed(value, o.format)) {
        why = value.empty()
                  ? "--format needs one of json, waybar, i3blocks, polybar, csv"
                  : "--format takes json, waybar, i3blocks, polybar or csv, not '" + value + "'";
        return false;
      }
      if (before != OutputFormat::screen && before != o.format) {
        why = std::string(outputFlag) == "--format" ? "--format is given twice: choose one"
                                                    : "--json and --format are two outputs: "
                                                      "choose one";
        return false;
      }
      outputFlag = "--format";
    } else if (arg == "--history" || arg == "--health" || arg == "--sleeps") {
      if (o.history != HistoryTable::none) {
        why = "--history, --health and --sleeps are three outputs: choose one";
        return false;
      }
      o.history = arg == "--history"  ? HistoryTable::samples
                  : arg == "--health" ? HistoryTable::health
                                      : HistoryTable::sleeps;
    } else if (arg == "--since" || arg.rfind("--since=", 0) == 0) {
      value = arg == "--since" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(8);
      if (!parseSince(value, o.sinceSeconds)) {
        why = "--since takes a number of minutes, hours or days (10m, 24h, 7d)" +
              (value.empty() ? std::string() : ", not '" + value + "'");
        return false;
      }
    } else if (arg == "--device" || arg.rfind("--device=", 0) == 0) {
      value = arg == "--device" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(9);
      if (value.empty()) {
        why = "--device needs a device's name or kind (mouse, keyboard, headset, ...)";
        return false;
      }
      o.device = value;
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
  if (o.history != HistoryTable::none) return historyOptionsFit(o, why);
  if (o.sinceSeconds > 0) why = "--since goes with --history or --sleeps";
  if (o.once && output)
    why = std::string("--once and ") + outputFlag + " are two outputs: choose one";
  if (o.follow && !output) why = "--follow goes with --json or --format";
  if (o.format == OutputFormat::csv) why = "--format csv goes with --history, --health or --sleeps";
  const bool bar = o.format == OutputFormat::waybar || o.format == OutputFormat::i3blocks ||
                   o.format == OutputFormat::polybar;
  if (o.device && !bar) why = "--device goes with --format waybar, i3blocks or polybar";
  return why.empty();
}
