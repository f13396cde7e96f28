// The built-in hid.dll: the nine HidD_ functions trelkey binds, done with
// hidraw ioctls and the USB device's sysfs attributes.
#include "hid_dll.h"

#include <errno.h>
#include <linux/hidraw.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <type_traits>

#include "hidraw.h"

static_assert(std::is_same<decltype(&HidD_GetHidGuid), PHidD_GetHidGuid>::value, "");
static_assert(std::is_same<decltype(&HidD_GetAttributes), PHidD_GetAttributes>::value, "");
static_assert(std::is_same<decltype(&HidD_GetManufacturerString), PHidD_GetString>::value, "");
static_assert(std::is_same<decltype(&HidD_GetProductString), PHidD_GetString>::value, "");
static_assert(std::is_same<decltype(&HidD_GetSerialNumberString), PHidD_GetString>::value, "");
static_assert(std::is_same<decltype(&HidD_GetFeature), PHidD_GetFeature>::value, "");
static_assert(std::is_same<decltype(&HidD_SetFeature), PHidD_SetFeature>::value, "");
static_assert(std::is_same<decltype(&HidD_GetNumInputBuffers), PHidD_GetNumInputBuffers>::value,
              "");
static_assert(std::is_same<decltype(&HidD_SetNumInputBuffers), PHidD_SetNumInputBuffers>::value,
              "");

const GUID HID_INTERFACE_GUID = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

namespace {

// hidraw queues this many input reports per open file; the kernel fixes the
// number, so the Set call only checks its argument against Windows' limits.
constexpr ULONG HIDRAW_INPUT_BUFFERS = HIDRAW_BUFFER_SIZE;
constexpr ULONG MIN_INPUT_BUFFERS = 2;
constexpr ULONG MAX_INPUT_BUFFERS = 512;

// Room for the longest USB string: 126 UTF-16 units of up to 3 UTF-8 bytes.
constexpr size_t USB_TEXT_SIZE = 512;

constexpr uint32_t REPLACEMENT_CHARACTER = 0xFFFD;

// The lead bytes of well-formed UTF-8 sequences, with the range the next byte
// must fall in; the ranges rule out overlong forms, surrogates and values
// past U+10FFFF. Later bytes are always 0x80 to 0xBF.
struct LeadByte {
    unsigned char first;
    unsigned char last;
    unsigned continuation_count;
    unsigned char second_min;
    unsigned char second_max;
};

const LeadByte LEAD_BYTES[] = {
    {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 2, 0x80, 0xBF},
    {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
    {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F},
};

// Decodes the code point at *text and moves past it. A malformed sequence
// gives U+FFFD and is passed over up to the first byte that cannot continue
// it, so a terminating NUL is never passed.
uint32_t next_code_point(const unsigned char** text) {
    const unsigned char* at = *text;
    const unsigned char lead = *at++;
    *text = at;
    if (lead < 0x80) return lead;
    const LeadByte* form = nullptr;
    for (const LeadByte& candidate : LEAD_BYTES) {
        if (lead >= candidate.first && lead <= candidate.last) form = &candidate;
    }
    if (form == nullptr) return REPLACEMENT_CHARACTER;
    uint32_t code_point = lead & (0x3Fu >> form->continuation_count);
    for (unsigned i = 0; i < form->continuation_count; ++i) {
        const unsigned char min = i == 0 ? form->second_min : 0x80;
        const unsigned char max = i == 0 ? form->second_max : 0xBF;
        if (*at < min || *at > max) {
            *text = at;
            return REPLACEMENT_CHARACTER;
        }
        code_point = (code_point << 6) | (*at++ & 0x3Fu);
    }
    *text = at;
    return code_point;
}

void store_unit(unsigned char* buffer, size_t index, uint32_t unit) {
    buffer[2 * index] = static_cast<unsigned char>(unit & 0xFF);
    buffer[2 * index + 1] = static_cast<unsigned char>(unit >> 8);
}

// The file descriptor behind a handle, or -1 with the last error set.
int device_fd(HANDLE handle) {
    const int fd = handle_fd(handle);
    if (fd < 0) SetLastError(ERROR_INVALID_HANDLE);
    return fd;
}

// Asks hidraw for the bus and IDs of the device behind a handle; this also
// tells a hidraw node from any other file. False with the last error set.
bool read_device_info(HANDLE handle, hidraw_devinfo* info) {
    const int fd = device_fd(handle);
    if (fd < 0) return false;
    if (ioctl(fd, HIDIOCGRAWINFO, info) != 0) {
        set_last_error_from_errno(errno);
        return false;
    }
    return true;
}

// Reads an attribute of the USB device behind a handle. False with the last
// error set; ERROR_NOT_SUPPORTED when the device is no USB device or has no
// such attribute.
bool read_handle_attribute(HANDLE handle, const char* attribute, char* text, size_t size) {
    const int fd = device_fd(handle);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0) {
        set_last_error_from_errno(errno);
        return false;
    }
    if (!S_ISCHR(status.st_mode) ||
        !read_usb_attribute(SYSFS_ROOT, major(status.st_rdev), minor(status.st_rdev), attribute,
                            text, size)) {
        return fail_with(ERROR_NOT_SUPPORTED);
    }
    return true;
}

// The USB device's release number (bcdDevice, in hex); 0 when there is none
// to read, without disturbing the last error.
USHORT read_version_number(HANDLE handle) {
    const DWORD saved_error = GetLastError();
    char text[16];
    if (!read_handle_attribute(handle, "bcdDevice", text, sizeof text)) {
        SetLastError(saved_error);
        return 0;
    }
    return static_cast<USHORT>(strtoul(text, nullptr, 16) & 0xFFFF);
}

BOOLEAN get_usb_string(HANDLE handle, const char* attribute, PVOID buffer, ULONG length) {
    if (buffer == nullptr || length < 2) return fail_with(ERROR_INVALID_PARAMETER);
    char text[USB_TEXT_SIZE];
    if (!read_handle_attribute(handle, attribute, text, sizeof text)) return FALSE;
    utf8_to_utf16le(text, static_cast<unsigned char*>(buffer), length);
    return TRUE;
}

// Passes a feature report, report ID first, to or from the device. The
// ioctl number carries the length in a 14-bit field.
BOOLEAN exchange_feature(HANDLE handle, unsigned long request, PVOID buffer, ULONG length) {
    if (buffer == nullptr || length == 0 || length > _IOC_SIZEMASK) {
        return fail_with(ERROR_INVALID_PARAMETER);
    }
    const int fd = device_fd(handle);
    if (fd < 0) return FALSE;
    if (ioctl(fd, request, buffer) < 0) {
        set_last_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool utf8_to_utf16le(const char* text, unsigned char* buffer, size_t buffer_length) {
    // Units the buffer holds, the terminator among them.
    const size_t capacity = buffer_length / 2;
    if (capacity == 0) return false;
    size_t count = 0;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    while (*at != '\0') {
        uint32_t code_point = next_code_point(&at);
        uint32_t units[2] = {code_point, 0};
        size_t unit_count = 1;
        if (code_point > 0xFFFF) {
            code_point -= 0x10000;
            units[0] = 0xD800 | (code_point >> 10);
            units[1] = 0xDC00 | (code_point & 0x3FF);
            unit_count = 2;
        }
        // Half a surrogate pair is never stored.
        if (count + unit_count >= capacity) break;
        for (size_t i = 0; i < unit_count; ++i) store_unit(buffer, count++, units[i]);
    }
    store_unit(buffer, count, 0);
    return true;
}

// The Win32 functions keep the parameter names hidsdi.h gives them; the
// project's naming rules do not apply to those.
// NOLINTBEGIN(readability-identifier-naming)
extern "C" {

void WINAPI HidD_GetHidGuid(LPGUID HidGuid) {
    if (HidGuid != nullptr) *HidGuid = HID_INTERFACE_GUID;
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    if (Attributes == nullptr) return fail_with(ERROR_INVALID_PARAMETER);
    hidraw_devinfo info;
    if (!read_device_info(HidDeviceObject, &info)) return FALSE;
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    // hidraw declares the IDs signed; they are 16-bit unsigned numbers.
    Attributes->VendorID = static_cast<uint16_t>(info.vendor);
    Attributes->ProductID = static_cast<uint16_t>(info.product);
    Attributes->VersionNumber = read_version_number(HidDeviceObject);
    return TRUE;
}

BOOLEAN WINAPI HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer,
                                          ULONG BufferLength) {
    return get_usb_string(HidDeviceObject, "manufacturer", Buffer, BufferLength);
}

BOOLEAN WINAPI HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return get_usb_string(HidDeviceObject, "product", Buffer, BufferLength);
}

BOOLEAN WINAPI HidD_GetSerialNumberString(HANDLE HidDeviceObject, PVOID Buffer,
                                          ULONG BufferLength) {
    return get_usb_string(HidDeviceObject, "serial", Buffer, BufferLength);
}

BOOLEAN WINAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
    return exchange_feature(HidDeviceObject, HIDIOCGFEATURE(ReportBufferLength), ReportBuffer,
                            ReportBufferLength);
}

BOOLEAN WINAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength) {
    return exchange_feature(HidDeviceObject, HIDIOCSFEATURE(ReportBufferLength), ReportBuffer,
                            ReportBufferLength);
}

BOOLEAN WINAPI HidD_GetNumInputBuffers(HANDLE HidDeviceObject, PULONG NumberBuffers) {
    if (NumberBuffers == nullptr) return fail_with(ERROR_INVALID_PARAMETER);
    hidraw_devinfo info;
    if (!read_device_info(HidDeviceObject, &info)) return FALSE;
    *NumberBuffers = HIDRAW_INPUT_BUFFERS;
    return TRUE;
}

BOOLEAN WINAPI HidD_SetNumInputBuffers(HANDLE HidDeviceObject, ULONG NumberBuffers) {
    if (NumberBuffers < MIN_INPUT_BUFFERS || NumberBuffers > MAX_INPUT_BUFFERS) {
        return fail_with(ERROR_INVALID_PARAMETER);
    }
    hidraw_devinfo info;
    return read_device_info(HidDeviceObject, &info) ? TRUE : FALSE;
}
}
// NOLINTEND(readability-identifier-naming)
