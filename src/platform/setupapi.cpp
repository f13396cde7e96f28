// The SetupAPI part of the Win32 stand-in: the HID interface class is the
// set of hidraw nodes sysfs lists, each node one device interface.
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <setupapi.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "hid_dll.h"
#include "hidraw.h"

namespace {

// Marks a live device set, so that a stale or foreign pointer is told apart
// from one SetupDiGetClassDevsA returned.
constexpr uint32_t DEVICE_SET_TAG = 0x54455348;
// The interface is in use, as every listed hidraw node is.
constexpr DWORD SPINT_ACTIVE = 0x00000001;
constexpr char NODE_PREFIX[] = "hidraw";
// Minor numbers have 20 bits; a larger number is no node.
constexpr unsigned long MAX_NODE_NUMBER = (1ul << 20) - 1;

struct DeviceSet {
    uint32_t tag;
    char* dev_root;
    unsigned* nodes;  // hidraw numbers, ascending
    size_t node_count;
};

// The number in a name hidraw<digits>; false for any other name.
bool parse_node_name(const char* name, unsigned* number) {
    const size_t prefix_length = sizeof NODE_PREFIX - 1;
    if (strncmp(name, NODE_PREFIX, prefix_length) != 0 || name[prefix_length] == '\0') {
        return false;
    }
    unsigned long value = 0;
    for (const char* digit = name + prefix_length; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') return false;
        value = value * 10 + static_cast<unsigned long>(*digit - '0');
        if (value > MAX_NODE_NUMBER) return false;
    }
    *number = static_cast<unsigned>(value);
    return true;
}

// Collects the numbers of the nodes in <sysfs_root>/class/hidraw, ascending.
// A system without the directory has no nodes. False with the last error
// set when the directory cannot be read or memory runs out.
bool list_nodes(const char* sysfs_root, DeviceSet* set) {
    char class_path[PATH_MAX];
    if (!format_path(class_path, sizeof class_path, "%s/class/hidraw", sysfs_root)) {
        return fail_with(ERROR_GEN_FAILURE);
    }
    DIR* directory = opendir(class_path);
    if (directory == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR) return true;
        set_last_error_from_errno(errno);
        return false;
    }
    size_t capacity = 0;
    bool listed = true;
    // readdir on a stream of the caller's own is thread-safe; readdir_r is
    // deprecated in glibc.
    // cppcheck-suppress readdirCalled
    for (const dirent* entry = readdir(directory); entry != nullptr; entry = readdir(directory)) {
        unsigned number = 0;
        if (!parse_node_name(entry->d_name, &number)) continue;
        if (set->node_count == capacity) {
            capacity = capacity == 0 ? 16 : 2 * capacity;
            void* grown = realloc(set->nodes, capacity * sizeof *set->nodes);
            if (grown == nullptr) {
                listed = fail_with(ERROR_NOT_ENOUGH_MEMORY);
                break;
            }
            set->nodes = static_cast<unsigned*>(grown);
        }
        set->nodes[set->node_count++] = number;
    }
    closedir(directory);
    std::sort(set->nodes, set->nodes + set->node_count);
    return listed;
}

void free_device_set(DeviceSet* set) {
    set->tag = 0;
    free(set->nodes);
    free(set->dev_root);
    free(set);
}

// The set a handle stands for; null for anything but a live set.
DeviceSet* live_device_set(HDEVINFO handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    DeviceSet* set = static_cast<DeviceSet*>(handle);
    return set->tag == DEVICE_SET_TAG ? set : nullptr;
}

bool is_hid_interface_class(const GUID* guid) {
    return memcmp(guid, &HID_INTERFACE_GUID, sizeof(GUID)) == 0;
}

// The checks that enumeration and the detail query share. The interface
// record has to be the caller's own size; restricting either to a single
// device (DeviceInfoData) is not supported.
BOOL check_interface_request(const DeviceSet* set, const SP_DEVICE_INTERFACE_DATA* interface_data,
                             const SP_DEVINFO_DATA* device_info) {
    if (set == nullptr) return fail_with(ERROR_INVALID_HANDLE);
    if (interface_data == nullptr) return fail_with(ERROR_INVALID_PARAMETER);
    if (interface_data->cbSize != sizeof *interface_data) {
        return fail_with(ERROR_INVALID_USER_BUFFER);
    }
    if (device_info != nullptr) return fail_with(ERROR_NOT_SUPPORTED);
    return TRUE;
}

}  // namespace

HDEVINFO open_hidraw_device_set(const char* sysfs_root, const char* dev_root) {
    DeviceSet* set = static_cast<DeviceSet*>(calloc(1, sizeof(DeviceSet)));
    if (set == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    set->dev_root = strdup(dev_root);
    if (set->dev_root == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    if (set->dev_root == nullptr || !list_nodes(sysfs_root, set)) {
        free_device_set(set);
        return INVALID_HANDLE_VALUE;
    }
    set->tag = DEVICE_SET_TAG;
    return set;
}

// The Win32 functions keep the parameter names setupapi.h gives them; the
// project's naming rules do not apply to those.
// NOLINTBEGIN(readability-identifier-naming)
extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND, DWORD Flags) {
    // Only the present interfaces of the HID class can be listed; every
    // listed node is present, so DIGCF_PRESENT changes nothing.
    const bool interfaces_of_one_class =
        (Flags & DIGCF_DEVICEINTERFACE) != 0 && (Flags & DIGCF_ALLCLASSES) == 0;
    if (ClassGuid == nullptr || Enumerator != nullptr || !interfaces_of_one_class ||
        !is_hid_interface_class(ClassGuid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return open_hidraw_device_set(SYSFS_ROOT, DEV_ROOT);
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    DeviceSet* set = live_device_set(DeviceInfoSet);
    if (!check_interface_request(set, DeviceInterfaceData, DeviceInfoData)) return FALSE;
    if (InterfaceClassGuid == nullptr) return fail_with(ERROR_INVALID_PARAMETER);
    // The set holds interfaces of the HID class only.
    if (!is_hid_interface_class(InterfaceClassGuid) || MemberIndex >= set->node_count) {
        return fail_with(ERROR_NO_MORE_ITEMS);
    }
    DeviceInterfaceData->InterfaceClassGuid = HID_INTERFACE_GUID;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    // The detail query finds the node by this index.
    DeviceInterfaceData->Reserved = MemberIndex;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    DeviceSet* set = live_device_set(DeviceInfoSet);
    if (!check_interface_request(set, DeviceInterfaceData, DeviceInfoData)) return FALSE;
    const ULONG_PTR index = DeviceInterfaceData->Reserved;
    if (index >= set->node_count) return fail_with(ERROR_INVALID_PARAMETER);

    char path[PATH_MAX];
    if (!format_path(path, sizeof path, "%s/hidraw%u", set->dev_root, set->nodes[index])) {
        return fail_with(ERROR_GEN_FAILURE);
    }
    const size_t path_size = strlen(path) + 1;
    const size_t path_offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    const DWORD required = static_cast<DWORD>(path_offset + path_size);
    if (RequiredSize != nullptr) *RequiredSize = required;

    // The size query: no record and no size.
    if (DeviceInterfaceDetailData == nullptr) {
        return fail_with(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                            : ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return fail_with(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < required) return fail_with(ERROR_INSUFFICIENT_BUFFER);
    // The path runs past the declared one-character array into the rest of
    // the caller's block.
    memcpy(reinterpret_cast<char*>(DeviceInterfaceDetailData) + path_offset, path, path_size);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    DeviceSet* set = live_device_set(DeviceInfoSet);
    if (set == nullptr) return fail_with(ERROR_INVALID_HANDLE);
    free_device_set(set);
    return TRUE;
}
}
// NOLINTEND(readability-identifier-naming)
