// The text tables the plots put on the clipboard, with the "Link" block beside them.
//
// "Link" is a registered clipboard format holding 128 bytes: three NUL-terminated strings
// (application, "Data", the plot kind), an extra NUL, zeros to the end. Programs that read
// plot tables from the clipboard recognise the data by it, so its bytes never change.
//
// Threads: user-interface thread only.
#pragma once

#include "platform/core/WinTypes.h"

#include <array>
#include <string>

inline constexpr const char* kSpectrumLink = "QorinDT;Data;Spectrum;;";
inline constexpr const char* kTimeSeriesLink = "QorinDT;Data;Time Series;;";
inline constexpr const char* kPhaseLink = "Vesterin;Data;Phase;;";
inline constexpr int kLinkBlockSize = 128;

// The block of a template: its ';' among the first 120 bytes become NULs.
std::array<char, kLinkBlockSize> MakeLinkBlock(const char* linkTemplate);

// Empties the clipboard and puts `text` on it as CF_TEXT (NUL-terminated, any length) and the
// "Link" block of `linkTemplate`. When the clipboard cannot be opened nothing happens; when
// the text's memory cannot be had, `memoryMessage` is shown (owned by `owner`, with `icon`)
// and the clipboard is left empty. Returns whether the text was placed.
bool CopyTableToClipboard(const void* owner, const std::string& text, const char* linkTemplate,
                          const char* memoryMessage, UINT icon);

// The number's text with '.' made ',' where the user's locale writes decimal commas.
std::string LocalizedNumber(const char* format, double value);
