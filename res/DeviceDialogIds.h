// Ids of the device dialogs (the system check) and of their controls.
#pragma once

#define IDD_SYSTEM_CHECK 184
#define IDC_SYSTEM_CHECK_START 2185
#define IDC_SYSTEM_CHECK_GRID 2192

// The check's grid: 8 rows of 22 pixels, 3 columns.
constexpr int kSystemCheckGridWidth = 420;
constexpr int kSystemCheckGridHeight = 8 * 22 + 1;
