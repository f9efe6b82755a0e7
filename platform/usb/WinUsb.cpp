#include "platform/usb/WinUsb.h"

#include "platform/usb/KdrSimulator.h"
#include "platform/usb/SimulatorBus.h"

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && std::memcmp(a.Data4, b.Data4, 8) == 0;
}
bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
bool IsNullGUID(const GUID& g) { return g == GUID(); }

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

BOOL Fail(DWORD error)
{
    t_lastError = error;
    return FALSE;
}

constexpr std::uint32_t kListMagic = 0x4C495354, kDeviceMagic = 0x44455643, kInterfaceMagic = 0x49464143;
constexpr unsigned kControlTimeoutMs = 500;
constexpr ULONG kDefaultPipeTimeoutMs = 500;

struct DeviceList {
    std::uint32_t magic = kListMagic;
    std::vector<std::string> paths;
};
struct DeviceHandle {
    std::uint32_t magic = kDeviceMagic;
    bool simulated = false;
    libusb_device_handle* usb = nullptr;
};
struct InterfaceHandle {
    std::uint32_t magic = kInterfaceMagic;
    DeviceHandle* device = nullptr;
    int session = 0; // the simulator's claim
    bool claimed = false;
    ULONG timeouts[256];
};

DeviceList* AsList(HDEVINFO h)
{
    auto* l = static_cast<DeviceList*>(h);
    return l != nullptr && h != INVALID_HANDLE_VALUE && l->magic == kListMagic ? l : nullptr;
}
DeviceHandle* AsDevice(HANDLE h)
{
    auto* d = static_cast<DeviceHandle*>(h);
    return d != nullptr && h != INVALID_HANDLE_VALUE && d->magic == kDeviceMagic ? d : nullptr;
}
InterfaceHandle* AsInterface(WINUSB_INTERFACE_HANDLE h)
{
    auto* i = static_cast<InterfaceHandle*>(h);
    return i != nullptr && h != INVALID_HANDLE_VALUE && i->magic == kInterfaceMagic ? i : nullptr;
}

DWORD FromLibusb(int rc)
{
    switch (rc) {
    case LIBUSB_SUCCESS: return ERROR_SUCCESS;
    case LIBUSB_ERROR_TIMEOUT: return ERROR_SEM_TIMEOUT;
    case LIBUSB_ERROR_NO_DEVICE: return ERROR_DEVICE_NOT_CONNECTED;
    case LIBUSB_ERROR_ACCESS: return ERROR_ACCESS_DENIED;
    case LIBUSB_ERROR_BUSY: return ERROR_BUSY;
    case LIBUSB_ERROR_NOT_FOUND: return ERROR_FILE_NOT_FOUND;
    case LIBUSB_ERROR_NO_MEM: return ERROR_NOT_ENOUGH_MEMORY;
    case LIBUSB_ERROR_INVALID_PARAM: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
    }
}

// One libusb context for the process; null when the system has no USB to offer.
libusb_context* Context()
{
    static libusb_context* ctx = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (libusb_init(&ctx) != LIBUSB_SUCCESS)
            ctx = nullptr;
    });
    return ctx;
}

std::string GuidText(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// The ASCII of UTF-16LE text in a descriptor, lower-cased, for a plain search.
std::string Utf16Ascii(const unsigned char* p, int n)
{
    std::string s;
    for (int i = 0; i + 1 < n; i += 2)
        s.push_back(p[i + 1] == 0 ? char(std::tolower(p[i])) : '?');
    return s;
}

// Whether the device names the GUID in its Microsoft OS 2.0 descriptor set or its 1.0
// extended properties (DeviceInterfaceGUID), as a WinUSB device does.
bool ReportsGuid(libusb_device_handle* h, const std::string& guid)
{
    auto holds = [&guid](const unsigned char* p, int n) {
        return Utf16Ascii(p, n).find(guid) != std::string::npos ||
               (n > 1 && Utf16Ascii(p + 1, n - 1).find(guid) != std::string::npos);
    };
    static const unsigned char kMsOs20[16] = {0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                                              0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};
    libusb_bos_descriptor* bos = nullptr;
    if (libusb_get_bos_descriptor(h, &bos) == LIBUSB_SUCCESS && bos != nullptr) {
        bool found = false;
        for (int i = 0; i < bos->bNumDeviceCaps && !found; ++i) {
            const libusb_bos_dev_capability_descriptor* cap = bos->dev_capability[i];
            // Platform capability: reserved byte, UUID, Windows version, set length, vendor code.
            if (cap == nullptr || cap->bDevCapabilityType != 0x05 || cap->bLength < 28 ||
                std::memcmp(cap->dev_capability_data + 1, kMsOs20, 16) != 0)
                continue;
            const unsigned char* d = cap->dev_capability_data + 17;
            const int length = d[4] | (d[5] << 8);
            std::vector<unsigned char> set(std::size_t(std::clamp(length, 0, 4096)));
            const int got = libusb_control_transfer(h, 0xC0, d[6], 0, 7, set.data(), std::uint16_t(set.size()),
                                                    kControlTimeoutMs);
            found = got > 0 && holds(set.data(), got);
        }
        libusb_free_bos_descriptor(bos);
        if (found)
            return true;
    }
    unsigned char os[18] = {};
    const int n = libusb_get_string_descriptor(h, 0xEE, 0, os, sizeof os);
    if (n < 18 || Utf16Ascii(os + 2, 14) != "msft100")
        return false;
    const std::uint8_t vendorCode = os[16];
    std::vector<unsigned char> props(4096);
    const int got = libusb_control_transfer(h, 0xC1, vendorCode, 0, 5, props.data(), std::uint16_t(props.size()),
                                            kControlTimeoutMs);
    return got > 0 && holds(props.data(), got);
}

// DURNEX_USB_IDS: "vvvv:pppp[,vvvv:pppp...]" in hexadecimal.
bool ListedById(std::uint16_t vendor, std::uint16_t product)
{
    const char* ids = std::getenv("DURNEX_USB_IDS");
    if (ids == nullptr)
        return false;
    std::string s(ids);
    std::size_t start = 0;
    while (start < s.size()) {
        const std::size_t end = std::min(s.find_first_of(", ;", start), s.size());
        unsigned v = 0, p = 0;
        if (std::sscanf(s.substr(start, end - start).c_str(), "%x:%x", &v, &p) == 2 && v == vendor && p == product)
            return true;
        start = end + 1;
    }
    return false;
}

std::string PortPath(libusb_device* dev)
{
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, 8);
    std::string path = "usb:" + std::to_string(libusb_get_bus_number(dev)) + ":";
    for (int i = 0; i < n; ++i)
        path += (i ? "." : "") + std::to_string(ports[i]);
    if (n <= 0)
        path += "a" + std::to_string(libusb_get_device_address(dev));
    return path;
}

std::vector<std::string> FindUsbDevices(const GUID& guid)
{
    std::vector<std::string> paths;
    libusb_context* ctx = Context();
    if (ctx == nullptr)
        return paths;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &list);
    const std::string guidText = GuidText(guid);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device* dev = list[i];
        libusb_device_descriptor dd;
        if (libusb_get_device_descriptor(dev, &dd) != LIBUSB_SUCCESS)
            continue;
        // Only a device whose interface 0 is vendor-specific can be a WinUSB device.
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(dev, &config) != LIBUSB_SUCCESS || config == nullptr)
            continue;
        const bool vendorSpecific = config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0 &&
                                    config->interface[0].altsetting[0].bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC;
        libusb_free_config_descriptor(config);
        if (!vendorSpecific)
            continue;
        bool match = ListedById(dd.idVendor, dd.idProduct);
        if (!match) {
            libusb_device_handle* h = nullptr;
            if (libusb_open(dev, &h) == LIBUSB_SUCCESS) {
                match = ReportsGuid(h, guidText);
                libusb_close(h);
            }
        }
        if (match)
            paths.push_back(PortPath(dev));
    }
    if (list != nullptr)
        libusb_free_device_list(list, 1);
    return paths;
}

} // namespace

DWORD UsbGetLastError() { return t_lastError; }
void UsbSetLastError(DWORD error) { t_lastError = error; }

// ---- Set-up functions --------------------------------------------------------------------

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char*, void*, DWORD)
{
    if (classGuid == nullptr || IsNullGUID(*classGuid)) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    auto* list = new (std::nothrow) DeviceList;
    if (list == nullptr) {
        t_lastError = ERROR_NOT_ENOUGH_MEMORY;
        return INVALID_HANDLE_VALUE;
    }
    kdrsim::bus::EnsureStarted();
    if (kdrsim::IsSimulatorSelected()) {
        if (kdrsim::bus::Present())
            list->paths.push_back(kdrsim::bus::kDevicePath);
    } else {
        list->paths = FindUsbDevices(*classGuid);
    }
    return list;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, void*, const GUID* classGuid, DWORD memberIndex,
                                 SP_DEVICE_INTERFACE_DATA* data)
{
    DeviceList* list = AsList(set);
    if (list == nullptr || data == nullptr || classGuid == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (memberIndex >= list->paths.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    data->InterfaceClassGuid = *classGuid;
    data->Flags = 1; // active
    data->Reserved = memberIndex;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* requiredSize,
                                      void*)
{
    DeviceList* list = AsList(set);
    if (list == nullptr || data == nullptr || data->Reserved >= list->paths.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string& path = list->paths[data->Reserved];
    const DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize != nullptr)
        *requiredSize = needed;
    if (detail == nullptr || detailSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    // The path runs on past the declared one-character array, into the caller's buffer.
    char* dest = reinterpret_cast<char*>(detail) + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    std::memcpy(dest, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    DeviceList* list = AsList(set);
    if (list == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    list->magic = 0;
    delete list;
    return TRUE;
}

HANDLE UsbOpenDevicePath(const char* devicePath)
{
    if (devicePath == nullptr) {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    const std::string path(devicePath);
    if (path == kdrsim::bus::kDevicePath) {
        if (!kdrsim::bus::Present()) {
            t_lastError = ERROR_FILE_NOT_FOUND;
            return INVALID_HANDLE_VALUE;
        }
        auto* d = new (std::nothrow) DeviceHandle;
        if (d == nullptr) {
            t_lastError = ERROR_NOT_ENOUGH_MEMORY;
            return INVALID_HANDLE_VALUE;
        }
        d->simulated = true;
        return d;
    }
    libusb_context* ctx = Context();
    if (ctx == nullptr) {
        t_lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &list);
    libusb_device_handle* h = nullptr;
    int rc = LIBUSB_ERROR_NOT_FOUND;
    for (ssize_t i = 0; i < count && h == nullptr; ++i)
        if (PortPath(list[i]) == path)
            rc = libusb_open(list[i], &h);
    if (list != nullptr)
        libusb_free_device_list(list, 1);
    if (h == nullptr) {
        t_lastError = FromLibusb(rc);
        return INVALID_HANDLE_VALUE;
    }
    auto* d = new (std::nothrow) DeviceHandle;
    if (d == nullptr) {
        libusb_close(h);
        t_lastError = ERROR_NOT_ENOUGH_MEMORY;
        return INVALID_HANDLE_VALUE;
    }
    d->usb = h;
    return d;
}

BOOL UsbCloseDevicePath(HANDLE device)
{
    DeviceHandle* d = AsDevice(device);
    if (d == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (d->usb != nullptr)
        libusb_close(d->usb);
    d->magic = 0;
    delete d;
    return TRUE;
}

// ---- WinUSB --------------------------------------------------------------------------------

BOOL WinUsb_Initialize(HANDLE device, WINUSB_INTERFACE_HANDLE* interfaceHandle)
{
    DeviceHandle* d = AsDevice(device);
    if (d == nullptr || interfaceHandle == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    auto* i = new (std::nothrow) InterfaceHandle;
    if (i == nullptr)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    std::fill(std::begin(i->timeouts), std::end(i->timeouts), kDefaultPipeTimeoutMs);
    i->device = d;
    if (d->simulated) {
        DWORD error = ERROR_SUCCESS;
        i->session = kdrsim::bus::Claim(&error);
        if (i->session == 0) {
            delete i;
            return Fail(error);
        }
    } else {
        // A kernel driver bound to the interface is detached while we hold it.
        libusb_set_auto_detach_kernel_driver(d->usb, 1);
        const int rc = libusb_claim_interface(d->usb, 0);
        if (rc != LIBUSB_SUCCESS) {
            delete i;
            return Fail(FromLibusb(rc));
        }
        i->claimed = true;
    }
    *interfaceHandle = i;
    return TRUE;
}

BOOL WinUsb_Free(WINUSB_INTERFACE_HANDLE interfaceHandle)
{
    InterfaceHandle* i = AsInterface(interfaceHandle);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (i->device->simulated)
        kdrsim::bus::Release(i->session);
    else if (i->claimed)
        libusb_release_interface(i->device->usb, 0);
    i->magic = 0;
    delete i;
    return TRUE;
}

BOOL WinUsb_QueryDeviceInformation(WINUSB_INTERFACE_HANDLE h, ULONG informationType, ULONG* bufferLength, void* buffer)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (informationType != DEVICE_SPEED || bufferLength == nullptr || *bufferLength < 1 || buffer == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    BYTE speed = HighSpeed;
    if (!i->device->simulated) {
        switch (libusb_get_device_speed(libusb_get_device(i->device->usb))) {
        case LIBUSB_SPEED_LOW: speed = LowSpeed; break;
        case LIBUSB_SPEED_FULL: speed = FullSpeed; break;
        case LIBUSB_SPEED_UNKNOWN: return Fail(ERROR_GEN_FAILURE);
        default: speed = HighSpeed; break; // high speed and faster
        }
    } else if (!kdrsim::bus::Alive(i->session)) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    *static_cast<BYTE*>(buffer) = speed;
    *bufferLength = 1;
    return TRUE;
}

namespace {
// The simulator's interface 0: bulk OUT 0x01, then bulk IN 0x81, as the device lists them.
constexpr WINUSB_PIPE_INFORMATION kSimPipes[2] = {{UsbdPipeTypeBulk, kdrsim::bus::kPipeOut, 512, 0},
                                                  {UsbdPipeTypeBulk, kdrsim::bus::kPipeIn, 512, 0}};

const libusb_interface_descriptor* Altsetting(InterfaceHandle* i, BYTE alt, libusb_config_descriptor** config)
{
    if (libusb_get_active_config_descriptor(libusb_get_device(i->device->usb), config) != LIBUSB_SUCCESS)
        return nullptr;
    if ((*config)->bNumInterfaces < 1 || alt >= (*config)->interface[0].num_altsetting)
        return nullptr;
    return &(*config)->interface[0].altsetting[alt];
}
} // namespace

BOOL WinUsb_QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE h, BYTE alternateSetting, USB_INTERFACE_DESCRIPTOR* descriptor)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr || descriptor == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (i->device->simulated) {
        if (alternateSetting != 0)
            return Fail(ERROR_NO_MORE_ITEMS);
        *descriptor = USB_INTERFACE_DESCRIPTOR();
        descriptor->bNumEndpoints = 2;
        descriptor->bInterfaceClass = 0xFF;
        return TRUE;
    }
    libusb_config_descriptor* config = nullptr;
    const libusb_interface_descriptor* alt = Altsetting(i, alternateSetting, &config);
    if (alt == nullptr) {
        if (config != nullptr)
            libusb_free_config_descriptor(config);
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    descriptor->bLength = alt->bLength;
    descriptor->bDescriptorType = alt->bDescriptorType;
    descriptor->bInterfaceNumber = alt->bInterfaceNumber;
    descriptor->bAlternateSetting = alt->bAlternateSetting;
    descriptor->bNumEndpoints = alt->bNumEndpoints;
    descriptor->bInterfaceClass = alt->bInterfaceClass;
    descriptor->bInterfaceSubClass = alt->bInterfaceSubClass;
    descriptor->bInterfaceProtocol = alt->bInterfaceProtocol;
    descriptor->iInterface = alt->iInterface;
    libusb_free_config_descriptor(config);
    return TRUE;
}

BOOL WinUsb_QueryPipe(WINUSB_INTERFACE_HANDLE h, BYTE alternateSetting, BYTE pipeIndex, WINUSB_PIPE_INFORMATION* pipe)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr || pipe == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (i->device->simulated) {
        if (alternateSetting != 0 || pipeIndex >= 2)
            return Fail(ERROR_NO_MORE_ITEMS);
        *pipe = kSimPipes[pipeIndex];
        return TRUE;
    }
    libusb_config_descriptor* config = nullptr;
    const libusb_interface_descriptor* alt = Altsetting(i, alternateSetting, &config);
    const bool ok = alt != nullptr && pipeIndex < alt->bNumEndpoints;
    if (ok) {
        const libusb_endpoint_descriptor& ep = alt->endpoint[pipeIndex];
        pipe->PipeType = static_cast<USBD_PIPE_TYPE>(ep.bmAttributes & 0x03);
        pipe->PipeId = ep.bEndpointAddress;
        pipe->MaximumPacketSize = ep.wMaxPacketSize;
        pipe->Interval = ep.bInterval;
    }
    if (config != nullptr)
        libusb_free_config_descriptor(config);
    return ok ? TRUE : Fail(ERROR_NO_MORE_ITEMS);
}

BOOL WinUsb_SetPipePolicy(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, ULONG policyType, ULONG valueLength, void* value)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (policyType != PIPE_TRANSFER_TIMEOUT || valueLength != sizeof(ULONG) || value == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    std::memcpy(&i->timeouts[pipeId], value, sizeof(ULONG));
    return TRUE;
}

BOOL WinUsb_ReadPipe(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, BYTE* buffer, ULONG length, ULONG* transferred, void* overlapped)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr || transferred == nullptr || overlapped != nullptr || (pipeId & 0x80) == 0)
        return Fail(ERROR_INVALID_PARAMETER);
    *transferred = 0;
    if (i->device->simulated) {
        const DWORD error = kdrsim::bus::Read(i->session, pipeId, buffer, length, transferred, i->timeouts[pipeId]);
        return error == ERROR_SUCCESS ? TRUE : Fail(error);
    }
    int got = 0;
    const int rc = libusb_bulk_transfer(i->device->usb, pipeId, buffer, int(std::min<ULONG>(length, 1u << 30)), &got,
                                        i->timeouts[pipeId]);
    *transferred = ULONG(std::max(got, 0));
    if (rc == LIBUSB_SUCCESS || (rc == LIBUSB_ERROR_TIMEOUT && got > 0))
        return TRUE;
    return Fail(FromLibusb(rc));
}

BOOL WinUsb_WritePipe(WINUSB_INTERFACE_HANDLE h, BYTE pipeId, const BYTE* buffer, ULONG length, ULONG* transferred,
                      void* overlapped)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr || transferred == nullptr || overlapped != nullptr || (pipeId & 0x80) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    *transferred = 0;
    if (i->device->simulated) {
        const DWORD error = kdrsim::bus::Write(i->session, pipeId, buffer, length, transferred);
        return error == ERROR_SUCCESS ? TRUE : Fail(error);
    }
    int sent = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    const int rc = libusb_bulk_transfer(i->device->usb, pipeId, const_cast<BYTE*>(buffer),
                                        int(std::min<ULONG>(length, 1u << 30)), &sent, i->timeouts[pipeId]);
    *transferred = ULONG(std::max(sent, 0));
    return rc == LIBUSB_SUCCESS ? TRUE : Fail(FromLibusb(rc));
}

BOOL WinUsb_AbortPipe(WINUSB_INTERFACE_HANDLE h, BYTE)
{
    InterfaceHandle* i = AsInterface(h);
    if (i == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (i->device->simulated)
        kdrsim::bus::Abort(i->session);
    return TRUE;
}

DWORD UsbTimeGetTime() { return kdrsim::bus::ClockNow(); }
