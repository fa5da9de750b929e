#pragma once

// How the command line asks the viewer to print: its live screen, or one form for scripts and bars.
enum class OutputFormat { screen, json, waybar, i3blocks, polybar, csv };
// The battery's history printed instead: its samples, the packs' health log, or the sleeps.
enum class HistoryTable { none, samples, health, sleeps };
