// Finding and opening the trigger device among the HID interfaces that
// SetupAPI lists.
// <setupapi.h> builds on <windows.h>.
#include <windows.h>
//
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hid/hid_device.h"
#include "hid/identity.h"
#include "hid/windows/hid_library.h"

// The search states these records' sizes to SetupAPI, which refuses any but
// its own: they differ between 64-bit and 32-bit Windows.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (sizeof(void*) == 8 ? 32 : 28),
              "SP_DEVICE_INTERFACE_DATA has the size Windows expects");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5),
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A's fixed part has the size Windows expects");

namespace {

// The search examines interface indices 0 to MAX_INTERFACES - 1.
constexpr unsigned MAX_INTERFACES = 255;

// Whether the slots a search calls are bound. The string slots are needed
// only when the strings are compared.
bool search_slots_bound(bool compare_strings) {
    const HidEntryPoints& slots = hid_entry_points;
    if (slots.get_hid_guid == nullptr || slots.get_attributes == nullptr) return false;
    return !compare_strings ||
           (slots.get_manufacturer_string != nullptr && slots.get_product_string != nullptr);
}

// Fetches one of an open interface's strings and narrows it in place.
bool read_device_text(void* device, DeviceText which, unsigned char* text) {
    const PHidD_GetString get_string = which == DEVICE_TEXT_MANUFACTURER
                                           ? hid_entry_points.get_manufacturer_string
                                           : hid_entry_points.get_product_string;
    if (!get_string(static_cast<HANDLE>(device), text, DEVICE_TEXT_SIZE)) return false;
    narrow_wide_string(text);
    return true;
}

// Whether an opened interface is the wanted device.
bool interface_matches(HANDLE device, const DeviceIdentity& wanted) {
    HIDD_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    // IDs left by a failed call are not trusted.
    if (!hid_entry_points.get_attributes(device, &attributes)) return false;
    return device_matches(wanted, attributes.VendorID, attributes.ProductID, read_device_text,
                          device);
}

// Allocates the interface's detail record and opens its device path, which
// it copies to path (cut to fit). INVALID_HANDLE_VALUE when the path cannot
// be had or the open fails.
HANDLE open_interface(HDEVINFO device_set, SP_DEVICE_INTERFACE_DATA* interface_data,
                      char (&path)[sizeof DeviceFailure::path]) {
    DWORD required_size = 0;
    SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, nullptr, 0, &required_size,
                                     nullptr);
    // The query leaves the size at 0 when it fails outright; a size below the
    // record's own layout leaves no usable record either.
    if (required_size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return INVALID_HANDLE_VALUE;

    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(malloc(required_size));
    if (detail == nullptr) return INVALID_HANDLE_VALUE;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);

    HANDLE device = INVALID_HANDLE_VALUE;
    if (SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, detail, required_size,
                                         &required_size, nullptr)) {
        snprintf(path, sizeof path, "%s", detail->DevicePath);
        device =
            CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    free(detail);
    return device;
}

// Opens the first interface whose vendor ID, product ID, manufacturer string
// and product string equal the wanted ones (the strings are compared only
// when both are given), and leaves its device path in path.
// INVALID_HANDLE_VALUE when none matched, none could be opened, or the HID
// library is not bound.
HANDLE find_hid_device(const DeviceIdentity& wanted, char (&path)[sizeof DeviceFailure::path]) {
    if (!search_slots_bound(wanted.manufacturer != nullptr && wanted.product != nullptr)) {
        return INVALID_HANDLE_VALUE;
    }
    GUID hid_guid;
    hid_entry_points.get_hid_guid(&hid_guid);
    HDEVINFO device_set =
        SetupDiGetClassDevsA(&hid_guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (device_set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;

    HANDLE match = INVALID_HANDLE_VALUE;
    for (DWORD index = 0; index < MAX_INTERFACES && match == INVALID_HANDLE_VALUE; ++index) {
        SP_DEVICE_INTERFACE_DATA interface_data;
        memset(&interface_data, 0, sizeof interface_data);
        interface_data.cbSize = sizeof interface_data;
        if (!SetupDiEnumDeviceInterfaces(device_set, nullptr, &hid_guid, index, &interface_data)) {
            break;
        }
        HANDLE device = open_interface(device_set, &interface_data, path);
        if (device == INVALID_HANDLE_VALUE) continue;
        if (interface_matches(device, wanted)) {
            match = device;
        } else {
            CloseHandle(device);
        }
    }
    SetupDiDestroyDeviceInfoList(device_set);
    return match;
}

}  // namespace

// Every HID interface is opened before it is known to match, and many, such
// as keyboards, refuse it; so a refused open says nothing about the trigger
// device, and no reason is given.
DeviceHandle open_trigger_device(DeviceFailure* failure) {
    char path[sizeof DeviceFailure::path] = "";
    const HANDLE device = find_hid_device(trigger_device_identity(), path);
    if (device != INVALID_HANDLE_VALUE) memcpy(failure->path, path, sizeof path);
    return reinterpret_cast<DeviceHandle>(device);
}

void close_device(DeviceHandle device) { CloseHandle(reinterpret_cast<HANDLE>(device)); }
