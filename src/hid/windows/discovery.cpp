// The HID interfaces that SetupAPI lists, each identified through a handle
// without access; only the one a command uses is opened for reading and
// writing.
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

// Whether the slots a search calls are bound: binding fills them in order,
// so the last of them being bound means all are.
bool search_slots_bound() { return hid_entry_points.initialize_report_for_id != nullptr; }

// Fetches one of an open interface's strings, narrowed in place; empty when
// the interface does not give it.
void read_device_text(HANDLE device, PHidD_GetString get_string, char* text) {
    auto* buffer = reinterpret_cast<unsigned char*>(text);
    if (get_string(device, buffer, DEVICE_TEXT_SIZE)) {
        narrow_wide_string(buffer);
    } else {
        text[0] = '\0';
    }
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

// Identifies an interface through a handle opened without access, which
// Windows allows for every HID interface, even one that another program
// holds or that it keeps to itself, such as a keyboard: its IDs, its texts
// and whether it carries the configuration report. IDs left by a failed
// attributes call are not trusted.
void identify_interface(HidInterface* hid) {
    const HANDLE device = CreateFileA(hid->node, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        windows_error_text(GetLastError(), hid->reason, sizeof hid->reason);
        return;
    }
    HIDD_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    hid->identified = hid_entry_points.get_attributes(device, &attributes);
    if (hid->identified) {
        hid->vendor_id = attributes.VendorID;
        hid->product_id = attributes.ProductID;
        read_device_text(device, hid_entry_points.get_manufacturer_string, hid->manufacturer);
        read_device_text(device, hid_entry_points.get_product_string, hid->product);
        hid->carries_report = carries_config_report(device);
    }
    CloseHandle(device);
}

// Copies the interface's device path to path (cut to fit). False when the
// path cannot be had.
bool read_interface_path(HDEVINFO device_set, SP_DEVICE_INTERFACE_DATA* interface_data,
                         char (&path)[DEVICE_PATH_SIZE]) {
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

}  // namespace

bool enumerate_hid_interfaces(InterfaceVisitor visit, void* context, DeviceFailure* failure) {
    if (!search_slots_bound()) {
        snprintf(failure->path, sizeof failure->path, "hid.dll");
        snprintf(failure->reason, sizeof failure->reason, "%s", hid_binding_failure);
        return false;
    }
    GUID hid_guid;
    hid_entry_points.get_hid_guid(&hid_guid);
    HDEVINFO device_set =
        SetupDiGetClassDevsA(&hid_guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (device_set == INVALID_HANDLE_VALUE) {
        snprintf(failure->path, sizeof failure->path, "SetupAPI");
        windows_error_text(GetLastError(), failure->reason, sizeof failure->reason);
        return false;
    }
    for (DWORD index = 0; index < MAX_INTERFACES; ++index) {
        SP_DEVICE_INTERFACE_DATA interface_data;
        memset(&interface_data, 0, sizeof interface_data);
        interface_data.cbSize = sizeof interface_data;
        if (!SetupDiEnumDeviceInterfaces(device_set, nullptr, &hid_guid, index, &interface_data)) {
            break;
        }
        HidInterface hid = {};
        if (!read_interface_path(device_set, &interface_data, hid.node)) continue;
        memcpy(hid.location, hid.node, sizeof hid.location);
        identify_interface(&hid);
        visit(hid, context);
    }
    SetupDiDestroyDeviceInfoList(device_set);
    return true;
}

DeviceHandle open_hid_interface(const HidInterface& hid, DeviceFailure* failure) {
    const HANDLE device =
        CreateFileA(hid.node, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        snprintf(failure->path, sizeof failure->path, "%s", hid.node);
        windows_error_text(GetLastError(), failure->reason, sizeof failure->reason);
    }
    return reinterpret_cast<DeviceHandle>(device);
}

// A location on Windows is an interface's device path: one that no
// interface has names nothing that is plugged in.
PortState locate_port(const char* /*location*/) { return PORT_EMPTY; }

void canonical_location(const char* location, char* canonical, size_t size) {
    snprintf(canonical, size, "%s", location);
}

void close_device(DeviceHandle device) { CloseHandle(reinterpret_cast<HANDLE>(device)); }
