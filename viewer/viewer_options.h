#pragma once

#include <string>

// What the viewer's command line asks for.
enum class OutputFormat { screen, json, waybar, i3blocks, polybar };

struct ViewerOptions {
  bool help = false;
  bool version = false;
  bool once = false;
  bool follow = false;
  OutputFormat format = OutputFormat::screen;
};

// False, with why, on a bad command line.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions& options,
                        std::string& why);

extern const char* const kViewerUsage;
