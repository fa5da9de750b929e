#pragma once

#include <ostream>
#include <string>

#include "platform/uikit/ui_color.h"

class BIDMainTableViewController;

// One line per outlet, in refresh order: name, quoted text, and the colour where the refresh
// sets one: deviceLabel "iPhone 6"
void printOutlets(const BIDMainTableViewController& controller, std::ostream& out);

// "r,g,b,a", each component in its shortest exact form.
std::string colorComponents(UIColor color);
