#include "double/win32_double.h"

#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "hid/windows/hid_dll.h"

namespace {

FakeWin32 state;
char module;
constexpr uintptr_t FIRST_HANDLE = 0x1000;  // interface i opens as FIRST_HANDLE + i

FakeInterface& opened(HANDLE device) {
    return state.interfaces[reinterpret_cast<uintptr_t>(device) - FIRST_HANDLE];
}

// Copies a text as UTF-16LE, without a terminator when it fills the buffer.
BOOLEAN copy_text(const FakeInterface& fake, const std::u16string& text, Fault fault, PVOID buffer,
                  ULONG length) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    for (size_t i = 0; i <= text.size() && 2 * i + 1 < length; ++i) {
        const char16_t unit = i < text.size() ? text[i] : 0;
        bytes[2 * i] = static_cast<unsigned char>(unit & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(unit >> 8);
    }
    return fake.fault != fault;
}

void WINAPI get_hid_guid(LPGUID guid) { *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB}}; }

BOOLEAN WINAPI get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    const FakeInterface& fake = opened(device);
    attributes->VendorID = fake.vendor_id;
    attributes->ProductID = fake.product_id;
    return attributes->Size == 12 && fake.fault != FAULT_ATTRIBUTES;
}

BOOLEAN WINAPI get_manufacturer(HANDLE device, PVOID buffer, ULONG length) {
    const FakeInterface& fake = opened(device);
    return copy_text(fake, fake.manufacturer, FAULT_MANUFACTURER, buffer, length);
}

BOOLEAN WINAPI get_product(HANDLE device, PVOID buffer, ULONG length) {
    const FakeInterface& fake = opened(device);
    return copy_text(fake, fake.product, FAULT_PRODUCT, buffer, length);
}

// Both feature calls keep what they got and answer with the bytes 1 to n.
BOOLEAN WINAPI exchange_feature(HANDLE device, PVOID buffer, ULONG length) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    state.feature_interface = static_cast<int>(&opened(device) - state.interfaces.data());
    state.feature.assign(bytes, bytes + length);
    for (ULONG i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
    return !state.feature_refused;
}

void WINAPI never_called() { abort(); }

// hid.dll's exports, in slot order.
const struct {
    const char* name;
    void (*address)();
} EXPORTS[] = {
    {"HidD_GetHidGuid", reinterpret_cast<void (*)()>(get_hid_guid)},
    {"HidD_GetAttributes", reinterpret_cast<void (*)()>(get_attributes)},
    {"HidD_GetManufacturerString", reinterpret_cast<void (*)()>(get_manufacturer)},
    {"HidD_GetProductString", reinterpret_cast<void (*)()>(get_product)},
    {"HidD_GetSerialNumberString", never_called},
    {"HidD_GetFeature", reinterpret_cast<void (*)()>(exchange_feature)},
    {"HidD_SetFeature", reinterpret_cast<void (*)()>(exchange_feature)},
    {"HidD_GetNumInputBuffers", never_called},
    {"HidD_SetNumInputBuffers", never_called},
};

DWORD last_error;

}  // namespace

FakeWin32& fake() { return state; }

// NOLINTBEGIN(readability-identifier-naming)
extern "C" {

DWORD WINAPI GetLastError(void) { return last_error; }

HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
    state.loads += name + (" " + std::to_string(flags)) + ";";
    const bool refused = state.search_flag_refused && flags == LOAD_LIBRARY_SEARCH_SYSTEM32;
    last_error = refused ? ERROR_INVALID_PARAMETER : 126;  // or ERROR_MOD_NOT_FOUND
    return refused || state.missing_export >= 9 ? nullptr : reinterpret_cast<HMODULE>(&module);
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return static_cast<UINT>(snprintf(buffer, size, "C:\\Windows\\system32"));
}

FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
    const int slot = state.lookups++;
    if (slot >= 9 || slot == state.missing_export || strcmp(name, EXPORTS[slot].name) != 0) {
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(EXPORTS[slot].address);
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* guid, PCSTR enumerator, HWND window, DWORD flags) {
    if (guid->Data1 != 0x4D1E55B2 || enumerator != nullptr || window != nullptr ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        return INVALID_HANDLE_VALUE;
    }
    ++state.live_sets;
    return &state;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    state.highest_index = std::max(state.highest_index, static_cast<long>(index));
    if (set != &state || data->cbSize != sizeof *data || index >= state.interfaces.size() ||
        state.interfaces[index].fault == FAULT_ENUMERATION) {
        return FALSE;
    }
    data->Reserved = index;
    return TRUE;
}

// The path of interface i is "\\?\hid#i".
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                             PDWORD required, PSP_DEVINFO_DATA) {
    const std::string path = "\\\\?\\hid#" + std::to_string(data->Reserved);
    const Fault fault = state.interfaces[data->Reserved].fault;
    if (fault != FAULT_DETAIL_SIZE) *required = static_cast<DWORD>(4 + path.size() + 1);
    if (detail == nullptr || size < 4 + path.size() + 1 || detail->cbSize != sizeof *detail ||
        fault == FAULT_DETAIL) {
        return FALSE;
    }
    memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO) {
    --state.live_sets;
    return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                          DWORD flags, HANDLE template_file) {
    const size_t index = strtoul(path + 8, nullptr, 10);
    if (strncmp(path, "\\\\?\\hid#", 8) != 0 || access != (GENERIC_READ | GENERIC_WRITE) ||
        share != (FILE_SHARE_READ | FILE_SHARE_WRITE) || security != nullptr ||
        disposition != OPEN_EXISTING || flags != 0 || template_file != nullptr ||
        state.interfaces[index].fault == FAULT_OPEN) {
        return INVALID_HANDLE_VALUE;
    }
    state.opened.push_back(static_cast<int>(index));
    ++state.live_handles;
    return reinterpret_cast<HANDLE>(FIRST_HANDLE + index);
}

BOOL WINAPI CloseHandle(HANDLE) {
    --state.live_handles;
    return TRUE;
}

HANDLE WINAPI GetProcessHeap(void) { return &state; }

PVOID WINAPI HeapAlloc(HANDLE, DWORD, size_t size) {
    if (state.heap_fails) return nullptr;
    ++state.live_blocks;
    return malloc(size);
}

BOOL WINAPI HeapFree(HANDLE, DWORD, PVOID block) {
    free(block);
    --state.live_blocks;
    return TRUE;
}
}
// NOLINTEND(readability-identifier-naming)
