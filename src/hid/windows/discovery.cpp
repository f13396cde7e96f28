// Finding and opening the trigger device among the HID interfaces that
// SetupAPI lists.
// <setupapi.h> builds on <windows.h>.
#include <windows.h>
//
#include <ctype.h>
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

// Whether the slots a search calls are bound: binding fills them in order,
// so the last of them being bound means all are.
bool search_slots_bound() { return hid_entry_points.initialize_report_for_id != nullptr; }

// Fetches one of an open interface's strings and narrows it in place.
bool read_device_text(void* device, DeviceText which, unsigned char* text) {
    const PHidD_GetString get_string = which == DEVICE_TEXT_MANUFACTURER
                                           ? hid_entry_points.get_manufacturer_string
                                           : hid_entry_points.get_product_string;
    if (!get_string(static_cast<HANDLE>(device), text, DEVICE_TEXT_SIZE)) return false;
    narrow_wide_string(text);
    return true;
}

// Whether an interface's collection carries the configuration report.
// HidP_InitializeReportForID refuses a report ID of which the collection
// has no feature report, and a length other than its feature reports'; a
// unit's keyboard or media-key collection has the unit's IDs and texts, but
// not this report.
bool carries_config_report(HANDLE device) {
    PHIDP_PREPARSED_DATA layout = nullptr;
    if (!hid_entry_points.get_preparsed_data(device, &layout)) return false;
    char report[DEVICE_REPORT_LENGTH];
    const bool carries =
        hid_entry_points.initialize_report_for_id(HidP_Feature, DEVICE_REPORT_ID, layout, report,
                                                  sizeof report) == HIDP_STATUS_SUCCESS;
    hid_entry_points.free_preparsed_data(layout);
    return carries;
}

// Whether an interface is the wanted device: its IDs, its texts, then the
// configuration report. A handle opened without access serves for all.
bool interface_matches(HANDLE device, const DeviceIdentity& wanted) {
    HIDD_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    // IDs left by a failed call are not trusted.
    if (!hid_entry_points.get_attributes(device, &attributes)) return false;
    return device_matches(wanted, attributes.VendorID, attributes.ProductID, read_device_text,
                          device) &&
           carries_config_report(device);
}

// Copies the interface's device path to path (cut to fit). False when the
// path cannot be had.
bool read_interface_path(HDEVINFO device_set, SP_DEVICE_INTERFACE_DATA* interface_data,
                         char (&path)[sizeof DeviceFailure::path]) {
    DWORD required_size = 0;
    SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, nullptr, 0, &required_size,
                                     nullptr);
    // The query leaves the size at 0 when it fails outright; a size below the
    // record's own layout leaves no usable record either.
    if (required_size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;

    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(malloc(required_size));
    if (detail == nullptr) return false;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    const bool found = SetupDiGetDeviceInterfaceDetailA(device_set, interface_data, detail,
                                                        required_size, &required_size, nullptr);
    if (found) snprintf(path, sizeof path, "%s", detail->DevicePath);
    free(detail);
    return found;
}

// With access 0 the handle only serves to identify the interface, which
// Windows allows for every HID interface, even one that another program
// holds or that it keeps to itself, such as a keyboard.
HANDLE open_interface(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

// Whether two ASCII texts are equal when letters are compared without regard
// to case, as Windows compares device paths.
bool same_path(const char* a, const char* b) {
    // The program keeps the C locale, where toupper changes ASCII letters only.
    const auto upper = [](char c) { return toupper(static_cast<unsigned char>(c)); };
    while (*a != '\0' && upper(*a) == upper(*b)) ++a, ++b;
    return *a == *b;
}

// What one search does with each matching interface: keep it open and stop,
// or pass it to visit, close it and go on.
struct Search {
    const char* location;  // only the interface with this path; null: every one
    UnitVisitor visit;     // null: stop at the first match that opens
    void* context;
    size_t matches;
    bool occupied;  // an interface has the location's path
    // The first match that would not open for reading and writing, or the
    // interface at the location when it would not open at all (empty: none),
    // and Windows' error.
    char refused[sizeof DeviceFailure::path];
    DWORD error;
};

void note_refused(Search* search, const char* path, DWORD error) {
    if (search->refused[0] != '\0') return;
    snprintf(search->refused, sizeof search->refused, "%s", path);
    search->error = error;
}

// Identifies the interface at path through a handle without access and, when
// it matches, opens it for reading and writing. Returns that handle for a
// search without visit; passes the match to visit otherwise. A match that
// would not open is noted in the search; so is the interface a command named
// when it would not open at all.
HANDLE open_when_matching(const char* path, const DeviceIdentity& wanted, Search* search) {
    HANDLE device = open_interface(path, 0);
    if (device == INVALID_HANDLE_VALUE) {
        // Only the interface a command named is known to matter.
        if (search->location != nullptr) note_refused(search, path, GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    const bool matches = interface_matches(device, wanted);
    CloseHandle(device);
    if (!matches) return INVALID_HANDLE_VALUE;
    device = open_interface(path, GENERIC_READ | GENERIC_WRITE);
    const bool opened = device != INVALID_HANDLE_VALUE;
    const DWORD error = opened ? 0 : GetLastError();
    if (!opened) note_refused(search, path, error);
    if (search->visit == nullptr) return device;
    if (opened) CloseHandle(device);
    UnitEntry unit = {};
    snprintf(unit.location, sizeof unit.location, "%s", path);
    if (!opened) windows_error_text(error, unit.reason, sizeof unit.reason);
    search->visit(unit, search->context);
    ++search->matches;
    return INVALID_HANDLE_VALUE;
}

// Identifies each interface through a handle without access, and opens for
// reading and writing only those whose vendor ID, product ID, manufacturer
// string and product string equal the wanted ones (a text is compared only
// when it is given) and that carry the configuration report. Returns the
// first that opens, with its device path in path; or passes every match to
// the search's visit. INVALID_HANDLE_VALUE when none matched, none could be
// opened, the HID library is not bound, or the matches were visited.
HANDLE find_hid_device(const DeviceIdentity& wanted, Search* search,
                       char (&path)[sizeof DeviceFailure::path]) {
    if (!search_slots_bound()) return INVALID_HANDLE_VALUE;
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
        if (!read_interface_path(device_set, &interface_data, path)) continue;
        if (search->location != nullptr && !same_path(path, search->location)) continue;
        search->occupied = true;
        match = open_when_matching(path, wanted, search);
    }
    SetupDiDestroyDeviceInfoList(device_set);
    return match;
}

}  // namespace

DeviceHandle open_trigger_device(const char* location, DeviceFailure* failure) {
    char path[sizeof DeviceFailure::path] = "";
    Search search = {location, nullptr, nullptr, 0, false, "", 0};
    const HANDLE device = find_hid_device(trigger_device_identity(), &search, path);
    if (device != INVALID_HANDLE_VALUE) {
        memcpy(failure->path, path, sizeof path);
    } else if (search.refused[0] != '\0') {
        memcpy(failure->path, search.refused, sizeof search.refused);
        windows_error_text(search.error, failure->reason, sizeof failure->reason);
    } else if (location != nullptr) {
        snprintf(failure->path, sizeof failure->path, "%s", location);
        failure->at_location = search.occupied ? LOCATION_NOT_A_UNIT : LOCATION_EMPTY;
    }
    return reinterpret_cast<DeviceHandle>(device);
}

size_t list_trigger_devices(UnitVisitor visit, void* context) {
    char path[sizeof DeviceFailure::path] = "";
    Search search = {nullptr, visit, context, 0, false, "", 0};
    find_hid_device(trigger_device_identity(), &search, path);
    return search.matches;
}

void close_device(DeviceHandle device) { CloseHandle(reinterpret_cast<HANDLE>(device)); }
