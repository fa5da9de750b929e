#pragma once

#include <memory>
#include <string>
#include <vector>

#include "viewer/table/bid_main_table_view_controller.h"

class UILabel;
class UIView;

// The screen's layout: sections of rows, each row a caption and a value. Some captions are
// outlets themselves (the charging/draining state, the remaining-time caption).
struct TableRow {
  UILabel* caption;
  UILabel* value;
  bool onlyWithValue = false;  // left out of the screen while its value has no text
};
struct TableSection {
  std::string title;
  std::vector<TableRow> rows;
};

// What the main storyboard holds: a window with the table, its labels, and the controller with
// every outlet connected.
class MainStoryboard {
 public:
  MainStoryboard();
  ~MainStoryboard();
  MainStoryboard(const MainStoryboard&) = delete;
  MainStoryboard& operator=(const MainStoryboard&) = delete;

  UIView* window() const { return window_; }
  BIDMainTableViewController& controller() { return controller_; }
  const BIDMainTableViewController& controller() const { return controller_; }
  const std::vector<TableSection>& sections() const { return sections_; }

 private:
  UIView* window_;
  BIDMainTableViewController controller_;
  std::vector<TableSection> sections_;
};
