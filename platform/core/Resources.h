// Resources compiled into the program (menus, accelerators, dialog templates, strings,
// bitmaps, custom data such as the "PINKWAVE" wave). res/ registers them at start-up with
// RegisterBuiltInResources(); the layer finds them by type and name or id.
#pragma once

#include "platform/core/WinTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Well-known resource types, as strings so that custom ones ("PinkWave") fit the same table.
namespace ResType {
inline constexpr std::string_view Menu = "MENU";
inline constexpr std::string_view Accelerator = "ACCELERATOR";
inline constexpr std::string_view Dialog = "DIALOG";
inline constexpr std::string_view String = "STRING";
inline constexpr std::string_view Bitmap = "BITMAP";
inline constexpr std::string_view Cursor = "CURSOR";
inline constexpr std::string_view Icon = "ICON";
} // namespace ResType

// Registers raw bytes under (type, name). Names compare without regard to case, as
// Windows resource names do; a numeric id is registered as its decimal text ("#101").
void RegisterResource(std::string_view type, std::string_view name, std::span<const std::uint8_t> bytes);
void RegisterResource(std::string_view type, UINT id, std::span<const std::uint8_t> bytes);

// The bytes of a resource, or an empty span when there is none.
std::span<const std::uint8_t> FindResourceBytes(std::string_view type, std::string_view name);
std::span<const std::uint8_t> FindResourceBytes(std::string_view type, UINT id);

// Strings of the string table.
void RegisterString(UINT id, std::string text);
// The string, or an empty string when the id has none.
std::string LoadResourceString(UINT id);

// Defined in res/: registers every resource the program carries. Safe to call more than once.
void RegisterBuiltInResources();
