#include "hid/discovery.h"

#include <setupapi.h>
#include <string.h>

#include "hid/device_identity.h"
#include "hid/hid_library.h"

namespace {

// Whether the slots a search calls are bound. The string slots are needed
// only when the strings are compared.
bool search_slots_bound(bool compare_strings) {
    const HidEntryPoints& slots = hid_entry_points;
    if (slots.get_hid_guid == nullptr || slots.get_attributes == nullptr) return false;
    return !compare_strings ||
           (slots.get_manufacturer_string != nullptr && slots.get_product_string != nullptr);
}

// Fetches a device string with the given slot, narrows it and compares it
// with the expected text byte for byte.
bool device_string_equals(PHidD_GetString get_string, HANDLE device, const char* expected) {
    unsigned char buffer[STRING_BUFFER_SIZE];
    if (!get_string(device, buffer, STRING_BUFFER_SIZE)) return false;
    narrow_wide_string(buffer);
    return strcmp(reinterpret_cast<const char*>(buffer), expected) == 0;
}

// Whether an opened interface is the wanted device. The checks run in the
// order vendor ID, product ID, manufacturer, product and stop at the first
// that fails.
bool device_matches(HANDLE device, USHORT vendor_id, const char* manufacturer, USHORT product_id,
                    const char* product) {
    HIDD_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    // IDs left by a failed call are not trusted.
    if (!hid_entry_points.get_attributes(device, &attributes)) return false;
    if (attributes.VendorID != vendor_id || attributes.ProductID != product_id) return false;
    if (manufacturer == nullptr || product == nullptr) return true;
    return device_string_equals(hid_entry_points.get_manufacturer_string, device, manufacturer) &&
           device_string_equals(hid_entry_points.get_product_string, device, product);
}

// Allocates the interface's detail record and opens its device path.
// INVALID_HANDLE_VALUE when the path cannot be had or the open fails.
HANDLE open_interface(HDEVINFO device_set, SP_DEVICE_INTERFACE_DATA* interface_data) {
    DWORD required_size = 0;
    SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, nullptr, 0, &required_size,
                                     nullptr);
    // The query leaves the size at 0 when it fails outright; a size below the
    // record's own layout leaves no usable record either.
    if (required_size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return INVALID_HANDLE_VALUE;

    HANDLE heap = GetProcessHeap();
    auto* detail =
        static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(HeapAlloc(heap, 0, required_size));
    if (detail == nullptr) return INVALID_HANDLE_VALUE;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);

    HANDLE device = INVALID_HANDLE_VALUE;
    if (SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, detail, required_size,
                                         &required_size, nullptr)) {
        device =
            CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    HeapFree(heap, 0, detail);
    return device;
}

}  // namespace

HANDLE find_hid_device(USHORT vendor_id, const char* manufacturer, USHORT product_id,
                       const char* product) {
    if (!search_slots_bound(manufacturer != nullptr && product != nullptr)) {
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
        HANDLE device = open_interface(device_set, &interface_data);
        if (device == INVALID_HANDLE_VALUE) continue;
        if (device_matches(device, vendor_id, manufacturer, product_id, product)) {
            match = device;
        } else {
            CloseHandle(device);
        }
    }
    SetupDiDestroyDeviceInfoList(device_set);
    return match;
}

HANDLE open_trigger_device() {
    return find_hid_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT_ID,
                           DEVICE_PRODUCT);
}

void narrow_wide_string(unsigned char* buffer) {
    const unsigned unit_count = STRING_BUFFER_SIZE / 2;
    unsigned i = 0;
    for (; i < unit_count; ++i) {
        const unsigned unit = buffer[2 * i] | (buffer[2 * i + 1] << 8);
        if (unit == 0) break;
        // Byte i lies at or before the unit just read, so nothing unread is
        // overwritten.
        buffer[i] = unit < 0x100 ? static_cast<unsigned char>(unit) : '?';
    }
    buffer[i] = '\0';
}
