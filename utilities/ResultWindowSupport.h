// What the results windows share: the grid's "Copy to clipboard" pop-up and the text copy.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <string>

class CWnd;

// The pop-up with the one item "Copy to clipboard" (id 101) at a point of the grid's client
// area; true when the item was chosen.
bool TrackCopyPopup(CWnd* grid, int x, int y);

// Empties the clipboard and places `text` as CF_TEXT in a zero-filled movable block of
// `blockBytes` (at least the text and its NUL). A block that can't be had is reported with
// `memoryMessage` and nothing is copied. False when nothing was placed.
bool CopyResultText(const void* owner, const std::string& text, std::size_t blockBytes, const char* memoryMessage);

// Sizes a window so that its client area is width x height, keeping its top-left corner.
void SetClientSize(CWnd* wnd, int width, int height);

// The size rule of a results window whose grid sits above a 20-pixel row of buttons: the row
// height follows the client height within [minRow, maxRow], the client holds whole rows, and
// each column is at least 2 rows + `columnPadding` wide. (cx, cy) is the asked-for client size,
// negative for the present one. Places the grid; returns the client rectangle and the height.
RECT FitGridToWholeRows(CWnd* wnd, CWnd* grid, int rows, int columns, int cx, int cy, int minRow, int maxRow,
                        int columnPadding, int& rowHeight);

// printf into a std::string.
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
