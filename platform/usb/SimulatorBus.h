// What the USB functions ask of the simulator (platform/usb only).
#pragma once

#include "platform/core/WinTypes.h"

namespace kdrsim::bus {

constexpr const char* kDevicePath = "sim:KDR-5200";
constexpr BYTE kPipeOut = 0x01;
constexpr BYTE kPipeIn = 0x81;

// Reads DURNEX_DEVICE and DURNEX_SIMULATOR once; a source text that cannot be used is reported
// in a message box and leaves the default sources.
void EnsureStarted();
bool Present();
// A session id (> 0), or 0 with `error` set (not present, or claimed by another handle).
int Claim(DWORD* error);
void Release(int session);
bool Alive(int session);
// Error code of the transfer, ERROR_SUCCESS when it succeeded.
DWORD Write(int session, BYTE pipe, const BYTE* data, ULONG length, ULONG* transferred);
DWORD Read(int session, BYTE pipe, BYTE* data, ULONG length, ULONG* transferred, DWORD timeoutMs);
// Ends the session's waiting read; reads fail until the next write.
void Abort(int session);
// The clock the device layer reads packet times from.
DWORD ClockNow();

} // namespace kdrsim::bus
