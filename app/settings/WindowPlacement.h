// Placement records of every window the frame can open: names, the record of a (kind,
// channel, composite) triple, the placement text, and the rectangles new windows get.
// The window side (reading and applying a live window's placement) belongs to the frame,
// which calls these with what it reads from its windows.
#pragma once

#include "records/WindowPlacementRecord.h"
// WINDOWPLACEMENT and the SW_ show commands (types and constants only; nothing is linked).
#include "platform/core/WinTypes.h"

#include <cstddef>

// What the placement rules need to know of the screen.
struct DesktopInfo {
    int width = 0;               // desktop size in pixels
    int height = 0;
    bool frameMinimized = false; // the main frame is minimised at this moment
};

// Zero-fills the 119 records and writes their names, in record order.
void InitWindowPlacementRecords(WindowPlacementRecord (&records)[kWindowPlacementCount]);

// Clamps the channel (below 0 to 0; 8 or more to 7 for input plots, 16 or more to 15 for
// composite plots) and gives the record index, or -1 for a kind outside 0..19 or a composite
// flag with a kind outside 2..5.
int WindowPlacementIndex(int kind, int channel, bool composite);

// "%d, %d, {%d,%d}, {%d,%d}, {%d,%d,%d,%d}": flags, show command, minimised point, maximised
// point, normal rectangle. Nothing when an argument is missing.
void FormatPlacement(const WINDOWPLACEMENT* placement, char* text, std::size_t textSize);

// Parses a placement text into out (which the caller zeroes first), pulls coordinates onto
// the desktop and adapts the show command. False, out untouched apart from its length, when
// the text is missing, shorter than 3 characters or does not hold all ten values.
bool ParsePlacement(const char* text, WINDOWPLACEMENT* out, const DesktopInfo& desktop);

// Stores the state of one window: the frame (kind 0) is always open; any other window is open
// exactly when it exists. current is the window's placement (null when it has no window);
// a closed window keeps its last placement text.
void RecordWindowPlacement(WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                           bool composite, bool windowExists, const WINDOWPLACEMENT* current);

// The record's open flag; false for a triple that has no record.
bool IsWindowMarkedOpen(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                        bool composite);

// The placement to restore for a window: true with out filled when the record says the window
// was open and its text parses; the frame then applies it to the window.
bool GetRestorePlacement(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                         bool composite, const DesktopInfo& desktop, WINDOWPLACEMENT* out);

// The next default rectangle of a new child window in a client area of clientWidth by
// clientHeight: cascaded by 24 pixels, three quarters of the area. The offsets are shared by
// the whole program.
RECT GetCascadeRect(int clientWidth, int clientHeight);
void ResetCascadeOffsets();

// The rectangle moved (and, only if it is larger, shrunk) to lie wholly within an area of
// areaWidth by areaHeight whose top-left corner is (0, 0).
RECT FitRectInArea(RECT r, int areaWidth, int areaHeight);

// The rectangle in which a window of this kind is created: its stored normal rectangle when
// its text parses (maximised set when it was stored maximised), otherwise the cascade
// rectangle, moved to a fixed place for the generator and most utilities: fixedOffset plus the
// kind's fixed left and top (the offset places them relative to the frame's client area); the
// RPM window's is moved by fixedOffset and a title bar's height.
RECT GetInitialWindowRect(const WindowPlacementRecord (&records)[kWindowPlacementCount], int kind, int channel,
                          bool composite, int clientWidth, int clientHeight, const DesktopInfo& desktop,
                          bool* maximised, POINT fixedOffset = POINT{0, 0});

// Whether a window of this kind lives in the MDI area (the plots, the RT-60 and THD+N versus
// frequency windows) rather than on the desktop (the frame, the generator, the utilities).
bool IsMdiWindowKind(int kind);
