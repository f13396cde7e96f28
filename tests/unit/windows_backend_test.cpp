// The Windows backend over a double of the Win32 calls it makes: a table of
// HID interfaces with the faults to inject, and a few counters. The program
// under test looks for vendor 1234, product 5678, "Test Maker", "Kestavo".
#include <gtest/gtest.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "config/commands.h"
#include "hid/hid_device.h"
#include "hid/windows/hid_library.h"

namespace {

// Where an interface fails: enumeration, the detail size query, the detail
// call, the open, the attributes call (after writing the IDs), a text, the
// feature requests only. A faulty interface refuses feature requests.
enum Fault { NONE, ENUMERATION, DETAIL_SIZE, DETAIL, OPEN, ATTRIBUTES, MAKER, NAME, FEATURE };

struct FakeInterface {
    USHORT vendor_id, product_id;
    std::u16string manufacturer, product;
    Fault fault;
};

struct FakeWin32 {
    std::vector<FakeInterface> bus;
    int missing_export = -1;    // index from 0 of the first export hid.dll lacks; 9: no hid.dll
    bool old_windows = false;   // refuses LOAD_LIBRARY_SEARCH_SYSTEM32 (7 without KB2533623)
    std::string loads;          // "<name> <flags>;" per load
    int handles = 0, sets = 0;  // taken and not given back
    unsigned highest_index = 0;
    std::vector<int> opened;       // interface indices, in order
    std::vector<uint8_t> feature;  // what the last feature call got
    DWORD feature_error = 0;       // GetLastError() after a refused one
    std::string message;           // FormatMessageA's text for it; none when empty
} fake;
DWORD last_error;

// Interface i's path is "\\?\hid#i", and it opens as handle 0x1000 + i.
FakeInterface& at(HANDLE device) { return fake.bus[uintptr_t(device) - 0x1000]; }

// A text as UTF-16, without a terminator when it fills the buffer.
template <std::u16string FakeInterface::*TEXT, Fault FAULT>
BOOLEAN WINAPI get_text(HANDLE device, PVOID buffer, ULONG length) {
    const std::u16string& text = at(device).*TEXT;
    memcpy(buffer, text.c_str(), std::min<size_t>(2 * text.size() + 2, length));
    return at(device).fault != FAULT;
}
BOOLEAN WINAPI get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    attributes->VendorID = at(device).vendor_id;
    attributes->ProductID = at(device).product_id;
    return attributes->Size == 12 && at(device).fault != ATTRIBUTES;
}
// Keeps what it got and answers with the interface's index in every byte.
BOOLEAN WINAPI exchange_feature(HANDLE device, PVOID buffer, ULONG length) {
    fake.feature.assign(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length);
    memset(buffer, static_cast<int>(&at(device) - fake.bus.data()), length);
    last_error = fake.feature_error;
    return at(device).fault == NONE;
}
void WINAPI get_hid_guid(LPGUID guid) { *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB}}; }

typedef void (*Function)();
// hid.dll's exports in slot order; those never called are missing.
const struct {
    const char* name;
    Function address;
} EXPORTS[] = {
    {"HidD_GetHidGuid", Function(get_hid_guid)},
    {"HidD_GetAttributes", Function(get_attributes)},
    {"HidD_GetManufacturerString", Function(get_text<&FakeInterface::manufacturer, MAKER>)},
    {"HidD_GetProductString", Function(get_text<&FakeInterface::product, NAME>)},
    {"HidD_GetSerialNumberString", abort},
    {"HidD_GetFeature", Function(exchange_feature)},
    {"HidD_SetFeature", Function(exchange_feature)},
    {"HidD_GetNumInputBuffers", abort},
    {"HidD_SetNumInputBuffers", abort}};

}  // namespace

// NOLINTBEGIN(readability-identifier-naming)
extern "C" {
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                            DWORD size, va_list* arguments) {
    const bool answered = flags == (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS) &&
                          !source && id == fake.feature_error && !language && !arguments &&
                          fake.message.size() < size;
    snprintf(buffer, size, "%s", answered ? fake.message.c_str() : "");
    return answered ? DWORD(fake.message.size()) : 0;
}
DWORD WINAPI GetLastError(void) { return last_error; }
HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
    fake.loads += name + (" " + std::to_string(flags)) + ";";
    const bool refused = fake.old_windows && flags == LOAD_LIBRARY_SEARCH_SYSTEM32;
    last_error = refused ? ERROR_INVALID_PARAMETER : 126;  // else ERROR_MOD_NOT_FOUND
    return refused || fake.missing_export == 9 ? nullptr : HMODULE(&fake);
}
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return snprintf(buffer, size, "C:\\Windows\\system32");
}
FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
    for (int slot = 0; slot < 9; ++slot) {
        if (slot != fake.missing_export && name == std::string(EXPORTS[slot].name)) {
            return FARPROC(EXPORTS[slot].address);
        }
    }
    return nullptr;
}
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) {
    fake.sets += guid->Data1 == 0x4D1E55B2 && flags == (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return fake.sets == 1 ? &fake : INVALID_HANDLE_VALUE;
}
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    fake.highest_index = std::max(fake.highest_index, unsigned(index));
    data->Reserved = index;
    return set == &fake && data->cbSize == sizeof *data && index < fake.bus.size() &&
           fake.bus[index].fault != ENUMERATION;
}
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                             PDWORD required, PSP_DEVINFO_DATA) {
    const std::string path = "\\\\?\\hid#" + std::to_string(data->Reserved);
    const Fault fault = fake.bus[data->Reserved].fault;
    const DWORD needed = DWORD(4 + path.size() + 1);
    // The size query is answered for no record and a size of 0 only.
    if (fault != DETAIL_SIZE && (detail != nullptr || size == 0)) *required = needed;
    const bool fits = detail != nullptr && size >= needed && detail->cbSize == 8;
    if (fits && fault != DETAIL) memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return fits && fault != DETAIL;
}
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO) { return --fake.sets == 0; }
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void*, DWORD disposition,
                          DWORD flags, HANDLE) {
    const size_t index = strtoul(path + 8, nullptr, 10);
    if (access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        disposition != OPEN_EXISTING || flags != 0 || fake.bus[index].fault == OPEN) {
        return INVALID_HANDLE_VALUE;
    }
    fake.opened.push_back(int(index));
    ++fake.handles;
    return HANDLE(0x1000 + index);
}
BOOL WINAPI CloseHandle(HANDLE) { return --fake.handles >= 0; }
}
// NOLINTEND(readability-identifier-naming)

namespace {

FakeInterface device(Fault fault = NONE, std::u16string maker = u"Test Maker",
                     std::u16string name = u"Kestavo", USHORT vendor = 0x1234,
                     USHORT product = 0x5678) {
    return {vendor, product, std::move(maker), std::move(name), fault};
}

// A fresh double with these interfaces and hid.dll bound; the handle found.
DeviceHandle search(std::vector<FakeInterface> interfaces, int missing_export = -1) {
    fake = FakeWin32();
    fake.bus = std::move(interfaces);
    EXPECT_TRUE(bind_hid_library());
    fake.missing_export = missing_export;
    if (missing_export >= 0) bind_hid_library();
    DeviceFailure failure = {};
    return open_trigger_device(&failure);
}

TEST(WindowsBackend, BindsHidDllFromTheSystemDirectoryAndEmptiesUnboundSlots) {
    const std::string system32 = "hid.DLL 2048;";
    const std::string path = system32 + "C:\\Windows\\system32\\hid.DLL 0;";
    const struct {
        int missing_export;
        bool old_windows;
        std::string loads;
        int slots_filled;
    } cases[] = {{-1, false, system32, 9}, {-1, true, path, 9},     {9, false, system32, 0},
                 {9, true, path, 0},       {0, false, system32, 0}, {8, false, system32, 8}};
    for (const auto& c : cases) {
        search({});  // every slot filled before
        fake.loads.clear();
        fake.missing_export = c.missing_export;
        fake.old_windows = c.old_windows;
        EXPECT_EQ(c.slots_filled == 9, bind_hid_library()) << c.missing_export;
        EXPECT_EQ(c.loads, fake.loads);
        const auto* slots = reinterpret_cast<void* const*>(&hid_entry_points);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(i < c.slots_filled, slots[i] != nullptr) << i;
    }
}

TEST(WindowsBackend, OpensTheFirstMatchingInterfaceAndGivesBackTheRest) {
    std::vector<FakeInterface> others(254, device(NONE, u"Other"));
    const struct {
        std::vector<FakeInterface> bus;
        int missing_export, found;
        std::vector<int> opened;
    } cases[] = {
        {{device(), device()}, -1, 0, {0}},
        // How texts compare is the shared identity rule's, tested with it; here
        // a text that fills the buffer, and the IDs as the attributes give them.
        {{device(NONE, u"Test Maker", std::u16string(256, 'K')),
          device(NONE, u"Test Maker", u"Kestavo", 0x1235),
          device(NONE, u"Test Maker", u"Kestavo", 0x1234, 0x5679),
          device(NONE, u"Test Maker", u"Kestavo", 0x5678, 0x1234), device()},
         -1,
         4,
         {0, 1, 2, 3, 4}},
        {{device(DETAIL_SIZE), device(DETAIL), device(OPEN), device(ATTRIBUTES), device(MAKER),
          device(NAME), device()},
         -1,
         6,
         {3, 4, 5, 6}},
        {{device(ENUMERATION), device()}, -1, -1, {}},
        {{device()}, 1, -1, {}},  // the search needs slots 1 to 4: here 2 is missing,
        {{device()}, 3, -1, {}},  // here 4
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.found < 0 ? -1 : 0x1000 + c.found, search(c.bus, c.missing_export));
        EXPECT_EQ(c.opened, fake.opened);
        EXPECT_EQ(c.found < 0 ? 0 : 1, fake.handles);
        EXPECT_EQ(0, fake.sets);
    }
    others.push_back(device());  // interfaces 0 to 254 only
    EXPECT_EQ(0x1000 + 254, search(others));
    others.insert(others.begin(), device(NONE, u"Other"));
    EXPECT_EQ(-1, search(others));
    EXPECT_EQ(254u, fake.highest_index);
}

TEST(WindowsBackend, FeatureReportsPassThroughTheirSlots) {
    search({device(), device(OPEN)});
    DeviceFailure failure = {};
    for (DeviceHandle handle : {0x1000, 0x1001}) {
        uint8_t report[9] = {1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB};
        EXPECT_EQ(handle == 0x1000, hid_get_feature(handle, report, 9, &failure));
        EXPECT_EQ(std::vector<uint8_t>({1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB}), fake.feature);
        EXPECT_EQ(handle - 0x1000, report[8]);
        EXPECT_EQ(handle == 0x1000, hid_set_feature(handle, report, 9, &failure));
        EXPECT_EQ(std::vector<uint8_t>(9, uint8_t(handle - 0x1000)), fake.feature);
    }
    close_device(0x1000);
    EXPECT_EQ(0, fake.handles);
    uint8_t report[9] = {1};
    EXPECT_EQ(0x1000, search({device()}, 5));  // slots 6 to 9 empty
    EXPECT_FALSE(hid_get_feature(0x1000, report, 9, &failure) ||
                 hid_set_feature(0x1000, report, 9, &failure));
}

// The commands' error lines: the second names the interface that matched and
// Windows' message for the error, when there is one.
TEST(WindowsBackend, RefusedRequestsSayWhy) {
    const std::string first[] = {"Device read error. \n", "Device write error. \n"};
    const std::string device_1 = "trelkey: \\\\?\\hid#1: ";
    const struct {
        DWORD error;
        std::string message, second_line;
    } cases[] = {
        {31, "A device attached to the system is not functioning.\r\n",
         device_1 + "A device attached to the system is not functioning.\n"},
        {1167, " Gone. \r\n \n", device_1 + " Gone.\n"},
        {1167, "", device_1 + "Windows error 1167\n"},
        {0, "The operation completed successfully.\r\n", ""},
    };
    const ChannelAssignment list[4] = {{0x04, 0}, {0xFF, 0xFF}, {0xFF, 0xFF}, {0xFF, 0xFF}};
    for (const auto& c : cases) {
        for (int set = 0; set < 2; ++set) {
            search({device(NONE, u"Other"), device(FEATURE), device()});
            fake.feature_error = c.error;
            fake.message = c.message;
            testing::internal::CaptureStderr();
            EXPECT_FALSE(set ? set_configuration(list) : read_configuration());
            EXPECT_EQ(first[set] + c.second_line, testing::internal::GetCapturedStderr());
        }
    }
}

}  // namespace
