// The USB device road: the set-up and WinUSB functions the acquisition device layer is written
// against, carried over libusb-1.0 for a real KDR-5200 and over the built-in simulator
// (platform/usb/KdrSimulator.h) when the environment says DURNEX_DEVICE=simulator.
//
// Free of Qt and libusb, so that the device layer includes only this.
//
// Finding a device: Linux has no registry of device-interface classes. A device matches the
// class GUID when it reports that GUID in its Microsoft OS descriptors (as a WinUSB device does
// for Windows), or when its vendor:product pair is listed in DURNEX_USB_IDS
// ("16d0:0abc,1234:5678"). Only devices with a vendor-specific interface 0 are asked.
//
// Threads: a device or interface handle may be used by one thread at a time, except that one
// thread may read a pipe while another closes nothing. WinUsb_ReadPipe always returns within the
// pipe's timeout (PIPE_TRANSFER_TIMEOUT, 500 ms unless set), so a reader can always be stopped.
#pragma once

#include "platform/core/WinTypes.h"

struct GUID {
    DWORD Data1 = 0;
    WORD Data2 = 0;
    WORD Data3 = 0;
    BYTE Data4[8] = {};
};
bool operator==(const GUID& a, const GUID& b);
bool IsEqualGUID(const GUID& a, const GUID& b);
bool IsNullGUID(const GUID& g);

// Error codes (the Windows values) of the last failing call on this thread.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
DWORD UsbGetLastError();
void UsbSetLastError(DWORD error);

// ---- Set-up functions: the list of present device interfaces of a class ----
using HDEVINFO = void*;
constexpr DWORD DIGCF_PRESENT = 0x00000002;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    GUID InterfaceClassGuid;
    DWORD Flags = 0;
    std::uintptr_t Reserved = 0;
};
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    char DevicePath[1] = {};
};

// INVALID_HANDLE_VALUE when the list cannot be built (a null GUID).
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator, void* parent, DWORD flags);
// FALSE with ERROR_NO_MORE_ITEMS past the last interface.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, void* deviceInfoData, const GUID* classGuid, DWORD memberIndex,
                                 SP_DEVICE_INTERFACE_DATA* data);
// With a null or too small detail buffer: FALSE, ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize,
                                      void* deviceInfoData);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// Opens a device path from the list (CreateFile's part); INVALID_HANDLE_VALUE on failure.
HANDLE UsbOpenDevicePath(const char* devicePath);
BOOL UsbCloseDevicePath(HANDLE device);

// ---- WinUSB ----
using WINUSB_INTERFACE_HANDLE = void*;

constexpr ULONG DEVICE_SPEED = 0x01;
constexpr BYTE LowSpeed = 0x01;
constexpr BYTE FullSpeed = 0x02;
constexpr BYTE HighSpeed = 0x03;

enum USBD_PIPE_TYPE { UsbdPipeTypeControl = 0, UsbdPipeTypeIsochronous = 1, UsbdPipeTypeBulk = 2, UsbdPipeTypeInterrupt = 3 };

struct USB_INTERFACE_DESCRIPTOR {
    BYTE bLength = 9;
    BYTE bDescriptorType = 4;
    BYTE bInterfaceNumber = 0;
    BYTE bAlternateSetting = 0;
    BYTE bNumEndpoints = 0;
    BYTE bInterfaceClass = 0;
    BYTE bInterfaceSubClass = 0;
    BYTE bInterfaceProtocol = 0;
    BYTE iInterface = 0;
};
struct WINUSB_PIPE_INFORMATION {
    USBD_PIPE_TYPE PipeType = UsbdPipeTypeControl;
    BYTE PipeId = 0; // endpoint address; bit 7 set for IN
    USHORT MaximumPacketSize = 0;
    BYTE Interval = 0;
};

constexpr ULONG PIPE_TRANSFER_TIMEOUT = 0x03; // ULONG milliseconds; 0 waits for ever

// Claims interface 0 (detaching a kernel driver bound to it).
BOOL WinUsb_Initialize(HANDLE device, WINUSB_INTERFACE_HANDLE* interfaceHandle);
BOOL WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle);
BOOL WinUsb_QueryDeviceInformation(WINUSB_INTERFACE_HANDLE h, ULONG informationType, ULONG* bufferLength, void* buffer);
BOOL WinUsb_QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE h, BYTE alternateSetting, USB_INTERFACE_DESCRIPTOR* descriptor);
BOOL WinUsb_QueryPipe(WINUSB_INTERFACE_HANDLE h, BYTE alternateSetting, BYTE pipeIndex, WINUSB_PIPE_INFORMATION* pipe);
BOOL WinUsb_SetPipePolicy(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, ULONG policyType, ULONG valueLength, void* value);
// Bulk transfers. A read that times out fails with ERROR_SEM_TIMEOUT; one that brought part of
// a packet before the timeout succeeds with the bytes it brought. `overlapped` must be null.
BOOL WinUsb_ReadPipe(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, BYTE* buffer, ULONG length, ULONG* transferred,
                     void* overlapped);
BOOL WinUsb_WritePipe(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, const BYTE* buffer, ULONG length, ULONG* transferred,
                      void* overlapped);

// Ends a read waiting on the pipe. On the simulator every read fails with
// ERROR_OPERATION_ABORTED until the next write; a real device's reads end within their timeout.
BOOL WinUsb_AbortPipe(WINUSB_INTERFACE_HANDLE h, BYTE pipeId);

// The device's clock in milliseconds: timeGetTime, or the simulator's test clock while a test
// drives it. Packet times and the newest-block reads of the device layer use this one clock.
DWORD UsbTimeGetTime();
