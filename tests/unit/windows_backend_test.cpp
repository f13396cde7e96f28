// The Windows backend over a double of the Win32 calls it makes: a table of
// HID interfaces with the faults to inject, and a few counters of what the
// backend took and gave back. The program under test looks for vendor 1234,
// product 5678, "Test Maker", "Kestavo".
#include <gtest/gtest.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hid/hid_device.h"
#include "hid/windows/hid_library.h"

namespace {

// Where an interface fails: enumeration, the detail size query, the detail
// call, the open, the attributes call (after writing the right IDs), a text.
enum Fault { NONE, ENUMERATION, DETAIL_SIZE, DETAIL, OPEN, ATTRIBUTES, MAKER, NAME };

struct FakeInterface {
    USHORT vendor_id;
    USHORT product_id;
    std::u16string texts[2];  // manufacturer, product
    Fault fault;
};

struct FakeWin32 {
    std::vector<FakeInterface> interfaces;
    int missing_export = -1;           // first slot hid.dll lacks; 9: no hid.dll at all
    bool search_flag_refused = false;  // as Windows 7 without KB2533623
    bool heap_fails = false;
    std::string loads;                      // "<name> <flags>;" per load
    int lookups = 0;                        // GetProcAddress calls
    std::vector<int> opened;                // interfaces opened, in order
    int handles = 0, sets = 0, blocks = 0;  // taken and not given back
    long highest_index = -1;                // enumerated
    int feature_interface = -1;             // where the last feature call went
    std::vector<uint8_t> feature;           // the buffer it got
} fake;

// Interface i opens as handle 0x1000 + i, and its path is "\\?\hid#i".
FakeInterface& opened(HANDLE device) { return fake.interfaces[uintptr_t(device) - 0x1000]; }

BOOLEAN copy_text(HANDLE device, int which, PVOID buffer, ULONG length) {
    const FakeInterface& interface = opened(device);
    const std::u16string& text = interface.texts[which];
    // Without a terminator when the text fills the buffer.
    for (size_t i = 0; i <= text.size() && 2 * i < length; ++i) {
        const char16_t unit = i < text.size() ? text[i] : 0;
        memcpy(static_cast<char*>(buffer) + 2 * i, &unit, 2);
    }
    return interface.fault != (which == 0 ? MAKER : NAME);
}

void WINAPI get_hid_guid(LPGUID guid) { *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB}}; }
BOOLEAN WINAPI get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    attributes->VendorID = opened(device).vendor_id;
    attributes->ProductID = opened(device).product_id;
    return attributes->Size == 12 && opened(device).fault != ATTRIBUTES;
}
BOOLEAN WINAPI get_maker(HANDLE device, PVOID text, ULONG size) {
    return copy_text(device, 0, text, size);
}
BOOLEAN WINAPI get_name(HANDLE device, PVOID text, ULONG size) {
    return copy_text(device, 1, text, size);
}
// Both feature calls keep what they got and answer 1, 2, 3, ...; interface
// 1 refuses them.
BOOLEAN WINAPI exchange_feature(HANDLE device, PVOID buffer, ULONG length) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    fake.feature_interface = static_cast<int>(&opened(device) - fake.interfaces.data());
    fake.feature.assign(bytes, bytes + length);
    for (ULONG i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
    return fake.feature_interface != 1;
}
void WINAPI never_called() { abort(); }

typedef void (*Function)();
const struct {
    const char* name;
    Function address;
} EXPORTS[] = {
    {"HidD_GetHidGuid", Function(get_hid_guid)},
    {"HidD_GetAttributes", Function(get_attributes)},
    {"HidD_GetManufacturerString", Function(get_maker)},
    {"HidD_GetProductString", Function(get_name)},
    {"HidD_GetSerialNumberString", never_called},
    {"HidD_GetFeature", Function(exchange_feature)},
    {"HidD_SetFeature", Function(exchange_feature)},
    {"HidD_GetNumInputBuffers", never_called},
    {"HidD_SetNumInputBuffers", never_called},
};
DWORD last_error;
char hid_dll;

}  // namespace

// NOLINTBEGIN(readability-identifier-naming)
extern "C" {
DWORD WINAPI GetLastError(void) { return last_error; }
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
    fake.loads += name + (" " + std::to_string(flags)) + ";";
    const bool refused = fake.search_flag_refused && flags == LOAD_LIBRARY_SEARCH_SYSTEM32;
    last_error = refused ? ERROR_INVALID_PARAMETER : 126;  // else ERROR_MOD_NOT_FOUND
    return refused || fake.missing_export == 9 ? nullptr : reinterpret_cast<HMODULE>(&hid_dll);
}
HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return static_cast<UINT>(snprintf(buffer, size, "C:\\Windows\\system32"));
}
FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
    const int slot = fake.lookups++;
    const bool found =
        slot < 9 && slot != fake.missing_export && EXPORTS[slot].name == std::string(name);
    return found ? reinterpret_cast<FARPROC>(EXPORTS[slot].address) : nullptr;
}
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) {
    if (guid->Data1 != 0x4D1E55B2 || flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        return INVALID_HANDLE_VALUE;
    }
    ++fake.sets;
    return &fake;
}
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    fake.highest_index = std::max(fake.highest_index, long(index));
    data->Reserved = index;
    return set == &fake && data->cbSize == sizeof *data && index < fake.interfaces.size() &&
           fake.interfaces[index].fault != ENUMERATION;
}
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                             PDWORD required, PSP_DEVINFO_DATA) {
    const std::string path = "\\\\?\\hid#" + std::to_string(data->Reserved);
    const Fault fault = fake.interfaces[data->Reserved].fault;
    if (fault != DETAIL_SIZE) *required = static_cast<DWORD>(4 + path.size() + 1);
    if (detail == nullptr || size < 4 + path.size() + 1 || detail->cbSize != sizeof *detail ||
        fault == DETAIL) {
        return FALSE;
    }
    memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO) { return --fake.sets >= 0; }
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void*, DWORD disposition,
                          DWORD flags, HANDLE) {
    const size_t index = strtoul(path + 8, nullptr, 10);
    if (access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        disposition != OPEN_EXISTING || flags != 0 || fake.interfaces[index].fault == OPEN) {
        return INVALID_HANDLE_VALUE;
    }
    fake.opened.push_back(static_cast<int>(index));
    ++fake.handles;
    return reinterpret_cast<HANDLE>(0x1000 + index);
}
BOOL WINAPI CloseHandle(HANDLE) { return --fake.handles >= 0; }
HANDLE WINAPI GetProcessHeap(void) { return &fake; }
PVOID WINAPI HeapAlloc(HANDLE, DWORD, size_t size) {
    fake.blocks += !fake.heap_fails;
    return fake.heap_fails ? nullptr : malloc(size);
}
BOOL WINAPI HeapFree(HANDLE, DWORD, PVOID block) {
    free(block);
    return --fake.blocks >= 0;
}
}
// NOLINTEND(readability-identifier-naming)

namespace {

const FakeInterface TRIGGER = {0x1234, 0x5678, {u"Test Maker", u"Kestavo"}, NONE};

FakeInterface with(Fault fault, std::u16string maker = u"Test Maker",
                   std::u16string name = u"Kestavo", USHORT vendor = 0x1234,
                   USHORT product = 0x5678) {
    return {vendor, product, {maker, name}, fault};
}

// A fresh double with these interfaces, and hid.dll bound.
FakeWin32& bus(const std::vector<FakeInterface>& interfaces) {
    fake = FakeWin32();
    fake.interfaces = interfaces;
    EXPECT_TRUE(bind_hid_library());
    return fake;
}

TEST(WindowsBackend, BindsHidDllFromTheSystemDirectoryAndEmptiesUnboundSlots) {
    const std::string system32 = "hid.DLL 2048;",
                      full_path = system32 + "C:\\Windows\\system32\\hid.DLL 0;";
    const struct {
        int missing_export;
        bool search_flag_refused;
        std::string loads;
        int slots_filled;
    } cases[] = {{-1, false, system32, 9}, {-1, true, full_path, 9}, {9, false, system32, 0},
                 {9, true, full_path, 0},  {0, false, system32, 0},  {4, false, system32, 4},
                 {8, false, system32, 8}};
    for (const auto& c : cases) {
        bus({});  // every slot filled before
        fake = FakeWin32();
        fake.missing_export = c.missing_export;
        fake.search_flag_refused = c.search_flag_refused;
        EXPECT_EQ(c.slots_filled == 9, bind_hid_library()) << c.missing_export;
        EXPECT_EQ(c.loads, fake.loads);
        const auto* slots = reinterpret_cast<void* const*>(&hid_entry_points);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(i < c.slots_filled, slots[i] != nullptr) << i;
    }
}

TEST(WindowsBackend, OpensTheFirstMatchingInterfaceAndGivesBackTheRest) {
    const struct {
        std::vector<FakeInterface> interfaces;
        int found;
        std::vector<int> opened;
    } cases[] = {
        {{TRIGGER, TRIGGER}, 0, {0}},
        {{with(NONE, u"Test Maker", u"Kestavo", 0x1235),
          with(NONE, u"Test Maker", u"Kestavo", 0x1234, 0x5677),
          with(NONE, u"Test Maker", u"Kestavo", 0x5678, 0x1234), TRIGGER},
         3,
         {0, 1, 2, 3}},
        {{with(NONE, u"test maker"), with(NONE, u"Test Maker", u"Kestavo "),
          with(NONE, u"Test Mak\u0101r"), with(NONE, u"Test Maker", std::u16string(256, 'K')),
          TRIGGER},
         4,
         {0, 1, 2, 3, 4}},
        {{with(DETAIL_SIZE), with(DETAIL), with(OPEN), with(ATTRIBUTES), with(MAKER), with(NAME),
          TRIGGER},
         6,
         {3, 4, 5, 6}},
        {{with(ENUMERATION), TRIGGER}, -1, {}},
    };
    for (const auto& c : cases) {
        bus(c.interfaces);
        EXPECT_EQ(c.found < 0 ? -1 : 0x1000 + c.found, open_trigger_device(nullptr));
        EXPECT_EQ(c.opened, fake.opened);
        EXPECT_EQ(c.found < 0 ? 0 : 1, fake.handles);
        EXPECT_EQ(0, fake.sets + fake.blocks);
    }
}

TEST(WindowsBackend, SearchesInterfaces0To254WithItsSlotsAndMemoryOnly) {
    for (int position : {254, 255}) {
        std::vector<FakeInterface> interfaces(position, with(NONE, u"Other"));
        interfaces.push_back(TRIGGER);
        bus(interfaces);
        EXPECT_EQ(position == 254 ? 0x1000 + 254 : -1, open_trigger_device(nullptr));
        EXPECT_EQ(254, fake.highest_index);
    }
    for (int missing : {0, 1, 2, 3}) {
        bus({TRIGGER}).missing_export = missing;
        bind_hid_library();
        EXPECT_EQ(-1, open_trigger_device(nullptr)) << missing;
    }
    bus({TRIGGER}).heap_fails = true;
    EXPECT_EQ(-1, open_trigger_device(nullptr));
}

TEST(WindowsBackend, FeatureReportsPassThroughTheirSlots) {
    bus({TRIGGER, TRIGGER});
    for (DeviceHandle device : {0x1000, 0x1001}) {
        uint8_t report[9] = {1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB};
        EXPECT_EQ(device == 0x1000, hid_get_feature(device, report, 9));
        EXPECT_EQ(device - 0x1000, fake.feature_interface);
        EXPECT_EQ(std::vector<uint8_t>({1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB}), fake.feature);
        EXPECT_EQ(9, report[8]);
        EXPECT_EQ(device == 0x1000, hid_set_feature(device, report, 9));
        EXPECT_EQ(std::vector<uint8_t>({1, 2, 3, 4, 5, 6, 7, 8, 9}), fake.feature);
    }
    close_device(0x1000);
    EXPECT_EQ(-1, fake.handles);
    bus({TRIGGER}).missing_export = 5;
    bind_hid_library();
    uint8_t report[9] = {1};
    EXPECT_FALSE(hid_get_feature(0x1000, report, 9) || hid_set_feature(0x1000, report, 9));
}

}  // namespace
