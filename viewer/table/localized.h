#pragma once

#include <string>

// A fixed text of the screen from the application's string table (English text as key).
std::string localized(const std::string& key);
