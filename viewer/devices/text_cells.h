#pragma once

#include <string>

// How many terminal cells UTF-8 text takes, and text cut to a number of cells, without the
// process's locale: the table's lines and --once's are the same wherever they are printed.

// Cells the text takes: two for a wide (CJK, Hangul, fullwidth, emoji) character, none for a
// combining mark or a zero-width one, one for anything else, a byte that is no UTF-8 included.
int textCells(const std::string& text);
// The text whole where it fits in `cells`; else its longest start that fits with an ellipsis
// after it, cut between characters, never inside one. Nothing for no cells.
std::string fittedToCells(const std::string& text, int cells);
