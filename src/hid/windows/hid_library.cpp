#include "hid/windows/hid_library.h"

#include <stdio.h>
#include <string.h>

#include "hid/hid_device.h"

HidEntryPoints hid_entry_points;
char hid_binding_failure[512];

namespace {

const char* const HID_LIBRARY_NAME = "hid.DLL";

constexpr int HID_ENTRY_POINT_COUNT = 12;

// The export names, in slot order.
const char* const HID_ENTRY_POINT_NAMES[HID_ENTRY_POINT_COUNT] = {
    "HidD_GetHidGuid",
    "HidD_GetAttributes",
    "HidD_GetManufacturerString",
    "HidD_GetProductString",
    "HidD_GetSerialNumberString",
    "HidD_GetFeature",
    "HidD_SetFeature",
    "HidD_GetPreparsedData",
    "HidD_FreePreparsedData",
    "HidP_InitializeReportForID",
    "HidD_GetNumInputBuffers",
    "HidD_SetNumInputBuffers",
};

// GetProcAddress returns a generic function pointer; going through
// void (*)(void) converts it to the slot's type without a cast-function-type
// warning.
typedef void (*GenericFunction)(void);

template <typename Slot>
void store_slot(Slot* slot, FARPROC address) {
    *slot = reinterpret_cast<Slot>(reinterpret_cast<GenericFunction>(address));
}

bool store_entry_point(int index, FARPROC address) {
    if (address == nullptr) return false;
    HidEntryPoints& slots = hid_entry_points;
    switch (index) {
        case 0: store_slot(&slots.get_hid_guid, address); break;
        case 1: store_slot(&slots.get_attributes, address); break;
        case 2: store_slot(&slots.get_manufacturer_string, address); break;
        case 3: store_slot(&slots.get_product_string, address); break;
        case 4: store_slot(&slots.get_serial_number_string, address); break;
        case 5: store_slot(&slots.get_feature, address); break;
        case 6: store_slot(&slots.set_feature, address); break;
        case 7: store_slot(&slots.get_preparsed_data, address); break;
        case 8: store_slot(&slots.free_preparsed_data, address); break;
        case 9: store_slot(&slots.initialize_report_for_id, address); break;
        case 10: store_slot(&slots.get_num_input_buffers, address); break;
        case 11: store_slot(&slots.set_num_input_buffers, address); break;
        default: return false;
    }
    return true;
}

// Loads hid.dll from the system directory only, so that a hid.dll planted
// beside the program or in the current directory is never loaded. Windows 7
// without update KB2533623 does not know LOAD_LIBRARY_SEARCH_SYSTEM32 and
// refuses it as an invalid parameter; there the library is loaded by its
// full path in the system directory, which no search order takes part in.
HMODULE load_hid_library() {
    HMODULE library = LoadLibraryExA(HID_LIBRARY_NAME, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return library;
    char path[MAX_PATH];
    const size_t name_length = strlen(HID_LIBRARY_NAME);
    // 0 when the call failed; the size needed when the path did not fit.
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length + 1 + name_length >= sizeof path) return nullptr;
    path[length] = '\\';
    memcpy(path + length + 1, HID_LIBRARY_NAME, name_length + 1);
    return LoadLibraryA(path);
}

// Puts the system's message for the error of a failed call, without the
// line break and blanks it ends in, into failure->reason; its number when
// Windows has no message for it. Nothing when no error was set.
void report_last_error(DeviceFailure* failure) {
    const DWORD error = GetLastError();
    if (error != 0) windows_error_text(error, failure->reason, sizeof failure->reason);
}

// Calls a feature slot; an empty slot counts as a refused request.
bool exchange_feature(PHidD_GetFeature call, DeviceHandle device, uint8_t* report, size_t length,
                      DeviceFailure* failure) {
    if (call == nullptr) return false;
    if (call(reinterpret_cast<HANDLE>(device), report, static_cast<ULONG>(length))) return true;
    report_last_error(failure);
    return false;
}

}  // namespace

void windows_error_text(DWORD error, char* text, size_t size) {
    // In UTF-16, the only form in which Windows gives every language's text.
    wchar_t message[256];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, message, 256, nullptr);
    while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                          message[length - 1] == L' ')) {
        --length;
    }
    message[length] = L'\0';
    // At most three UTF-8 bytes per unit.
    char utf8[3 * 256 + 1];
    if (length == 0 ||
        WideCharToMultiByte(CP_UTF8, 0, message, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
        snprintf(text, size, "Windows error %lu", static_cast<unsigned long>(error));
        return;
    }
    // Cut to fit, never inside a character.
    size_t cut = strlen(utf8) < size ? strlen(utf8) : size - 1;
    while (cut > 0 && (utf8[cut] & 0xC0) == 0x80) --cut;
    snprintf(text, size, "%.*s", static_cast<int>(cut), utf8);
}

bool bind_hid_library() {
    memset(&hid_entry_points, 0, sizeof hid_entry_points);
    hid_binding_failure[0] = '\0';
    // The library stays loaded until the process ends.
    HMODULE library = load_hid_library();
    if (library == nullptr) {
        windows_error_text(GetLastError(), hid_binding_failure, sizeof hid_binding_failure);
        return false;
    }
    for (int index = 0; index < HID_ENTRY_POINT_COUNT; ++index) {
        if (!store_entry_point(index, GetProcAddress(library, HID_ENTRY_POINT_NAMES[index]))) {
            windows_error_text(GetLastError(), hid_binding_failure, sizeof hid_binding_failure);
            return false;
        }
    }
    return true;
}

bool hid_get_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(hid_entry_points.get_feature, device, report, length, failure);
}

bool hid_set_feature(DeviceHandle device, uint8_t* report, size_t length, DeviceFailure* failure) {
    return exchange_feature(hid_entry_points.set_feature, device, report, length, failure);
}
