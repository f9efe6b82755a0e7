// The clipboard sequence every plot data copy shares: a text table as CF_TEXT and, beside it,
// the 128-byte "Link" block that names the data. Kept with the time-series and phase plots
// until the plot base offers the same sequence; the spectrum plot's copy can use it too.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <array>
#include <string>

// The "Link" block for a template such as "QorinDT;Data;Time Series;;": the template with
// every ';' among the first 120 bytes turned into a NUL, zero-padded to 128 bytes.
std::array<char, 128> BuildPlotLinkBlock(const char* linkTemplate);

// Opens and empties the clipboard, places `text` (NUL-terminated) as CF_TEXT and the "Link"
// block, and closes it. The text block is sized to the text, so rows of any width fit. When
// the block cannot be allocated, `memoryMessage` is shown (with `icon`) and the clipboard
// stays empty. False when the clipboard could not be opened or the text was not placed.
bool CopyPlotTextToClipboard(const void* owner, const std::string& text, const char* linkTemplate,
                             const char* memoryMessage, UINT icon);

// The measurement cursor's two values ("<xName>=\t%5.4f\r\n<yName>=\t%5.4f\r\n") as CF_TEXT alone.
// False when the clipboard could not be opened or the text not placed.
bool CopyCursorValuesToClipboard(const void* owner, const char* xName, double x, const char* yName, double y);

// One number of a plot's text table: printf-formatted, then localised for a decimal comma.
std::string FormatPlotNumber(const char* format, double value);

class CWnd;
// Puts the window's client area below the tool strip (`top` pixels) on the clipboard as a
// bitmap. False when the clipboard could not be opened or the picture made.
bool CopyPlotBitmapToClipboard(CWnd* wnd, int top);
