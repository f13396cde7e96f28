#include "double/win32_double.h"

#include <setupapi.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "hid/windows/hid_dll.h"

namespace {

FakeWin32 state;

// The HID interface class GUID, {4D1E55B2-F16F-11CF-88CB-001111000030}.
const GUID HID_CLASS_GUID = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

char module_token;
char heap_token;
HMODULE const FAKE_MODULE = reinterpret_cast<HMODULE>(&module_token);
HANDLE const FAKE_HEAP = &heap_token;

void note_misuse(const char* what) {
    state.misuse_log += what;
    state.misuse_log += "; ";
}

// Distinct, never dereferenced, never null or INVALID_HANDLE_VALUE.
void* new_token() {
    state.next_token += 0x10;
    return reinterpret_cast<void*>(0x10000 + state.next_token);
}

bool remove_live(std::vector<void*>& live, const void* item) {
    for (size_t i = 0; i < live.size(); ++i) {
        if (live[i] == item) {
            live.erase(live.begin() + static_cast<ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool is_live(const std::vector<void*>& live, const void* item) {
    for (const void* each : live) {
        if (each == item) return true;
    }
    return false;
}

bool is_hid_guid(const GUID* guid) {
    return guid != nullptr && memcmp(guid, &HID_CLASS_GUID, sizeof(GUID)) == 0;
}

FakeInterface* interface_of(HANDLE handle) {
    const int index = fake_handle_interface(handle);
    if (index < 0) {
        note_misuse("hid.dll call on a handle that is not open");
        return nullptr;
    }
    return &state.interfaces[static_cast<size_t>(index)];
}

// The interface an enumerated record refers to; Reserved holds index + 1.
FakeInterface* enumerated_interface(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA* data) {
    if (!is_live(state.live_sets, set)) {
        note_misuse("detail query on a set that is not live");
        return nullptr;
    }
    if (data == nullptr || data->Reserved == 0 || data->Reserved > state.interfaces.size()) {
        return nullptr;
    }
    return &state.interfaces[data->Reserved - 1];
}

BOOLEAN copy_wide(const std::u16string& text, PVOID buffer, ULONG length) {
    state.string_buffer_length = length;
    auto* bytes = static_cast<unsigned char*>(buffer);
    const size_t capacity = length / 2;
    const size_t units = text.size() < capacity ? text.size() : capacity;
    for (size_t i = 0; i < units; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
    if (units < capacity) bytes[2 * units] = bytes[2 * units + 1] = 0;
    return TRUE;
}

void WINAPI fake_get_hid_guid(LPGUID guid) { *guid = HID_CLASS_GUID; }

BOOLEAN WINAPI fake_get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    FakeInterface* fake = interface_of(device);
    if (fake == nullptr) return FALSE;
    state.attributes_size = attributes->Size;
    attributes->VendorID = fake->vendor_id;
    attributes->ProductID = fake->product_id;
    attributes->VersionNumber = 0x0100;
    return fake->attributes_fail ? FALSE : TRUE;
}

BOOLEAN WINAPI fake_get_manufacturer(HANDLE device, PVOID buffer, ULONG length) {
    FakeInterface* fake = interface_of(device);
    return fake != nullptr && copy_wide(fake->manufacturer, buffer, length) &&
           !fake->manufacturer_fails;
}

BOOLEAN WINAPI fake_get_product(HANDLE device, PVOID buffer, ULONG length) {
    FakeInterface* fake = interface_of(device);
    return fake != nullptr && copy_wide(fake->product, buffer, length) && !fake->product_fails;
}

BOOLEAN WINAPI fake_get_serial_number(HANDLE device, PVOID buffer, ULONG length) {
    return interface_of(device) != nullptr && copy_wide(u"0001", buffer, length);
}

BOOLEAN WINAPI fake_get_feature(HANDLE device, PVOID buffer, ULONG length) {
    FakeInterface* fake = interface_of(device);
    if (fake == nullptr) return FALSE;
    auto* bytes = static_cast<uint8_t*>(buffer);
    fake->last_get_request.assign(bytes, bytes + length);
    if (fake->get_refused || length < fake->feature_report.size()) return FALSE;
    memcpy(bytes, fake->feature_report.data(), fake->feature_report.size());
    return TRUE;
}

BOOLEAN WINAPI fake_set_feature(HANDLE device, PVOID buffer, ULONG length) {
    FakeInterface* fake = interface_of(device);
    if (fake == nullptr) return FALSE;
    auto* bytes = static_cast<uint8_t*>(buffer);
    fake->last_set_report.assign(bytes, bytes + length);
    if (fake->set_refused) return FALSE;
    fake->feature_report = fake->last_set_report;
    return TRUE;
}

BOOLEAN WINAPI fake_get_num_input_buffers(HANDLE device, PULONG count) {
    if (interface_of(device) == nullptr) return FALSE;
    *count = 32;
    return TRUE;
}

BOOLEAN WINAPI fake_set_num_input_buffers(HANDLE device, ULONG) {
    return interface_of(device) != nullptr;
}

// Going through void (*)(void) avoids a cast-function-type warning.
template <typename Function>
FARPROC as_farproc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

struct FakeExport {
    const char* name;
    FARPROC address;
};

// In the documented slot order.
const FakeExport FAKE_EXPORTS[] = {
    {"HidD_GetHidGuid", as_farproc(fake_get_hid_guid)},
    {"HidD_GetAttributes", as_farproc(fake_get_attributes)},
    {"HidD_GetManufacturerString", as_farproc(fake_get_manufacturer)},
    {"HidD_GetProductString", as_farproc(fake_get_product)},
    {"HidD_GetSerialNumberString", as_farproc(fake_get_serial_number)},
    {"HidD_GetFeature", as_farproc(fake_get_feature)},
    {"HidD_SetFeature", as_farproc(fake_set_feature)},
    {"HidD_GetNumInputBuffers", as_farproc(fake_get_num_input_buffers)},
    {"HidD_SetNumInputBuffers", as_farproc(fake_set_num_input_buffers)},
};
constexpr int FAKE_EXPORT_COUNT = sizeof FAKE_EXPORTS / sizeof FAKE_EXPORTS[0];

}  // namespace

FakeWin32& fake_win32() { return state; }

void reset_fake_win32() {
    for (void* block : state.live_blocks) free(block);
    state = FakeWin32();
}

FakeInterface& add_fake_device(USHORT vendor_id, const char* manufacturer, USHORT product_id,
                               const char* product) {
    FakeInterface fake;
    fake.path = "\\\\?\\hid#fake#" + std::to_string(state.interfaces.size());
    fake.vendor_id = vendor_id;
    fake.product_id = product_id;
    fake.manufacturer = fake_wide_text(manufacturer);
    fake.product = fake_wide_text(product);
    fake.feature_report = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    state.interfaces.push_back(fake);
    return state.interfaces.back();
}

std::u16string fake_wide_text(const char* text) {
    std::u16string wide;
    for (const char* p = text; *p != '\0'; ++p) {
        wide += static_cast<char16_t>(static_cast<uint8_t>(*p));
    }
    return wide;
}

// A HANDLE is an opaque token of the Win32 API; its type stays HANDLE.
// cppcheck-suppress constParameter
int fake_handle_interface(HANDLE handle) {
    for (const FakeHandle& live : state.live_handles) {
        if (live.handle == handle) return static_cast<int>(live.interface_index);
    }
    return -1;
}

FARPROC fake_hid_export(int index) { return FAKE_EXPORTS[index].address; }

std::string fake_win32_problems() {
    std::string problems = state.misuse_log;
    if (!state.live_handles.empty()) problems += "handle left open; ";
    if (!state.live_sets.empty()) problems += "device set not destroyed; ";
    if (!state.live_blocks.empty()) problems += "heap block not freed; ";
    return problems;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return state.last_error; }

void WINAPI SetLastError(DWORD error_code) { state.last_error = error_code; }

HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
    state.load_name = name;
    state.load_file = file;
    state.load_flags = flags;
    if (state.library_missing || strcasecmp(name, "hid.dll") != 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return FAKE_MODULE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    ++state.export_lookups;
    if (module != FAKE_MODULE) note_misuse("GetProcAddress on a module not loaded");
    for (int i = 0; i < FAKE_EXPORT_COUNT; ++i) {
        if (module == FAKE_MODULE && i != state.missing_export &&
            strcmp(name, FAKE_EXPORTS[i].name) == 0) {
            return FAKE_EXPORTS[i].address;
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file) {
    state.open_access = access;
    state.open_share = share;
    state.open_disposition = disposition;
    state.open_flags = flags;
    state.open_extras_given = security != nullptr || template_file != nullptr;
    for (size_t i = 0; i < state.interfaces.size(); ++i) {
        FakeInterface& fake = state.interfaces[i];
        if (fake.path != name) continue;
        if (fake.open_fails) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        ++fake.open_count;
        ++state.handles_opened;
        state.live_handles.push_back({new_token(), i});
        return state.live_handles.back().handle;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    for (size_t i = 0; i < state.live_handles.size(); ++i) {
        if (state.live_handles[i].handle == handle) {
            state.live_handles.erase(state.live_handles.begin() + static_cast<ptrdiff_t>(i));
            ++state.handles_closed;
            return TRUE;
        }
    }
    note_misuse("CloseHandle of a handle that is not open");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HANDLE WINAPI GetProcessHeap(void) { return FAKE_HEAP; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD, SIZE_T size) {
    if (heap != FAKE_HEAP) note_misuse("HeapAlloc on an unknown heap");
    if (state.heap_allocs++ == state.heap_alloc_fails_at) return nullptr;
    void* block = malloc(size);
    state.live_blocks.push_back(block);
    return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (heap != FAKE_HEAP || !remove_live(state.live_blocks, block)) {
        note_misuse("HeapFree of a block not allocated");
        return FALSE;
    }
    ++state.heap_frees;
    free(block);
    return TRUE;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND window,
                                     DWORD flags) {
    state.class_flags = flags;
    state.class_extras_given = enumerator != nullptr || window != nullptr;
    if (state.class_devs_fails || !is_hid_guid(class_guid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    ++state.sets_created;
    state.live_sets.push_back(new_token());
    return state.live_sets.back();
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA info, const GUID* class_guid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    if (!is_live(state.live_sets, set)) note_misuse("enumeration of a set that is not live");
    if (static_cast<long>(index) > state.highest_enum_index) state.highest_enum_index = index;
    if (info != nullptr || !is_hid_guid(class_guid) || data == nullptr ||
        data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (index >= state.interfaces.size() || state.interfaces[index].enum_fails) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->InterfaceClassGuid = HID_CLASS_GUID;
    data->Flags = 1;
    data->Reserved = index + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detail_size, PDWORD required_size,
                                             PSP_DEVINFO_DATA info) {
    const FakeInterface* fake = enumerated_interface(set, data);
    if (fake == nullptr || info != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const size_t needed =
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + fake->path.size() + 1;
    if (required_size != nullptr) {
        *required_size = static_cast<DWORD>(fake->detail_size < 0 ? needed : fake->detail_size);
    }
    if (detail == nullptr) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (fake->detail_fails || detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (detail_size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(detail->DevicePath, fake->path.c_str(), fake->path.size() + 1);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (!remove_live(state.live_sets, set)) {
        note_misuse("destroy of a set that is not live");
        return FALSE;
    }
    ++state.sets_destroyed;
    return TRUE;
}

}  // extern "C"
