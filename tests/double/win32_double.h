// Programmable stand-in for the Win32 subset trelkey calls (kernel32,
// SetupAPI and a hid.dll of its own), linked into tests in place of the
// hidraw one. A test describes a bus of HID interfaces and the faults to
// inject, runs the code, then reads back the calls and resources it saw.
#ifndef TRELKEY_TESTS_DOUBLE_WIN32_DOUBLE_H
#define TRELKEY_TESTS_DOUBLE_WIN32_DOUBLE_H

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

// One HID interface of the bus, found at its index in FakeWin32::interfaces.
struct FakeInterface {
    std::string path;
    bool enum_fails = false;    // enumeration refuses this index
    long detail_size = -1;      // size the detail query reports; -1: what the path needs
    bool detail_fails = false;  // the call that fetches the path fails
    bool open_fails = false;
    bool attributes_fail = false;  // HidD_GetAttributes writes the IDs, then fails
    USHORT vendor_id = 0;
    USHORT product_id = 0;
    // Copied without terminator when they fill the buffer; a failing call
    // still copies its text, so only its result tells the failure.
    std::u16string manufacturer;
    bool manufacturer_fails = false;
    std::u16string product;
    bool product_fails = false;
    std::vector<uint8_t> feature_report;  // what a get returns; an accepted set replaces it
    bool get_refused = false;
    bool set_refused = false;

    // Seen by the device.
    int open_count = 0;
    std::vector<uint8_t> last_get_request;  // the buffer as handed to HidD_GetFeature
    std::vector<uint8_t> last_set_report;   // as handed to HidD_SetFeature, refused or not
};

struct FakeHandle {
    HANDLE handle;
    size_t interface_index;
};

struct FakeWin32 {
    std::vector<FakeInterface> interfaces;

    // Faults.
    bool library_missing = false;
    int missing_export = -1;  // index, in hid.dll slot order, of an export not found
    bool class_devs_fails = false;
    int heap_alloc_fails_at = -1;  // 0-based HeapAlloc call that returns null

    // Arguments seen.
    DWORD last_error = 0;
    std::string load_name;
    DWORD load_flags = 0;
    HANDLE load_file = nullptr;
    int export_lookups = 0;
    DWORD class_flags = 0;
    bool class_extras_given = false;  // enumerator or window passed
    long highest_enum_index = -1;
    DWORD open_access = 0;
    DWORD open_share = 0;
    DWORD open_disposition = 0;
    DWORD open_flags = 0;
    bool open_extras_given = false;  // security attributes or template passed
    ULONG attributes_size = 0;
    ULONG string_buffer_length = 0;

    // Resources: counts, what is still live, and every misuse
    // (unknown, dead or twice-released handle, set or block).
    int handles_opened = 0;
    int handles_closed = 0;
    int sets_created = 0;
    int sets_destroyed = 0;
    int heap_allocs = 0;
    int heap_frees = 0;
    std::vector<FakeHandle> live_handles;
    std::vector<void*> live_sets;
    std::vector<void*> live_blocks;
    std::string misuse_log;
    uintptr_t next_token = 0;
};

FakeWin32& fake_win32();

// An empty bus, no faults, nothing recorded; frees blocks left allocated.
void reset_fake_win32();

// Appends an interface with a path of its own and an empty configuration
// report (report ID 1, every channel 0xFF).
FakeInterface& add_fake_device(USHORT vendor_id, const char* manufacturer, USHORT product_id,
                               const char* product);

// Each byte of an 8-bit text as one UTF-16 unit.
std::u16string fake_wide_text(const char* text);

// Index of the interface a live handle was opened on; -1 for any other value.
int fake_handle_interface(HANDLE handle);

// Address the fake hid.dll exports for the name at this slot index.
FARPROC fake_hid_export(int index);

// Misuses and resources left live, as text; empty when all is well.
std::string fake_win32_problems();

#endif
