// The Windows backend over a double of the Win32 calls it makes: a bus of
// HID interfaces, a letter each, and a log of the calls that load hid.dll,
// open and close interfaces and destroy the interface set. The program under
// test looks for vendor 1234, product 5678, "Test Maker", "Kestavo".
#include <gtest/gtest.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <tuple>
#include <vector>

#include "config/commands.h"
#include "hid/hid_device.h"
#include "hid/windows/hid_library.h"

namespace {

// The bus: '.' the device; v vendor 1235, p product 5679, x the IDs swapped;
// faults: E the enumeration, S the detail size query, D the detail call, O
// the open, A the attributes call (after writing the IDs), M and N a text
// (after writing it), F the feature requests.
struct Fake {
    // log: "<library> <flags>;" per load, o<i>; and c<i>; per open and close
    // of interface i, d; when the set is destroyed.
    std::string bus, log, message;  // message: FormatMessageA's text for error
    std::vector<uint8_t> feature;   // what the last feature call got
    int missing = -1;               // the first export hid.dll lacks, from 0; 9: no hid.dll
    // Old Windows' system directory ("": the call fails); none: Windows knows
    // LOAD_LIBRARY_SEARCH_SYSTEM32.
    const char* dir = nullptr;
    DWORD error = 0;  // GetLastError()
} fake;

// Interface i's path is "\\?\hid#i", and it opens as handle 0x1000 + i.
char at(HANDLE device) { return fake.bus[uintptr_t(device) - 0x1000]; }
// Logs an event; TRUE.
BOOL note(char what, uintptr_t i) {
    return !fake.log.append(what + std::to_string(i) + ";").empty();
}

template <char FAULT>  // M: the manufacturer, N: the product
BOOLEAN WINAPI get_text(HANDLE device, PVOID buffer, ULONG length) {
    const std::u16string text = FAULT == 'M' ? u"Test Maker" : u"Kestavo";
    return length == 512 && memcpy(buffer, text.c_str(), 2 * text.size() + 2) &&
           at(device) != FAULT;
}
BOOLEAN WINAPI get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    attributes->VendorID = at(device) == 'v' ? 0x1235 : at(device) == 'x' ? 0x5678 : 0x1234;
    attributes->ProductID = at(device) == 'p' ? 0x5679 : at(device) == 'x' ? 0x1234 : 0x5678;
    return attributes->Size == 12 && at(device) != 'A';
}
// Keeps what it got and answers with 0x5A in every byte.
BOOLEAN WINAPI exchange_feature(HANDLE device, PVOID buffer, ULONG length) {
    fake.feature.assign(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + length);
    return memset(buffer, 0x5A, length) && at(device) != 'F';
}
void WINAPI get_hid_guid(LPGUID guid) { *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB}}; }

// hid.dll's exports in slot order; those never called abort.
typedef void (*Function)();
const char* const NAMES[] = {
    "HidD_GetHidGuid",       "HidD_GetAttributes",         "HidD_GetManufacturerString",
    "HidD_GetProductString", "HidD_GetSerialNumberString", "HidD_GetFeature",
    "HidD_SetFeature",       "HidD_GetNumInputBuffers",    "HidD_SetNumInputBuffers"};
const Function EXPORTS[] = {
    Function(get_hid_guid),     Function(get_attributes), Function(get_text<'M'>),
    Function(get_text<'N'>),    Function(abort),          Function(exchange_feature),
    Function(exchange_feature), Function(abort),          Function(abort)};

// A fresh double with this bus and hid.dll bound whole, then bound again
// lacking export `missing`, the log starting there; the second binding's
// result.
bool bind_again(const std::string& bus, int missing = -1, const char* dir = nullptr) {
    fake = {bus, {}, {}, {}};
    EXPECT_TRUE(bind_hid_library());
    fake = {bus, {}, {}, {}, missing, dir};
    return bind_hid_library();
}
// The same, and the handle found; the log starts after the binding.
DeviceHandle search(const std::string& bus, int missing = -1) {
    DeviceFailure failure = {};
    bind_again(bus, missing);
    fake.log.clear();
    return open_trigger_device(&failure);
}

}  // namespace

// NOLINTBEGIN(readability-identifier-naming)
extern "C" {
// Win32 declares the arguments writable.
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                            DWORD size, va_list* arguments) {  // cppcheck-suppress constParameter
    if (flags != 0x1200 || source || id != fake.error || language || arguments) return 0;
    return fake.message.size() < size ? snprintf(buffer, size, "%s", fake.message.c_str()) : 0;
}
DWORD WINAPI GetLastError(void) { return fake.error; }
HMODULE WINAPI LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
    fake.log += name + (" " + std::to_string(flags)) + ";";
    // ERROR_INVALID_PARAMETER or ERROR_MOD_NOT_FOUND
    fake.error = fake.dir && flags == 0x800 ? 87 : 126;
    return fake.error == 87 || fake.missing == 9 ? nullptr : HMODULE(&fake);
}
UINT WINAPI GetSystemDirectoryA(LPSTR to, UINT size) { return snprintf(to, size, "%s", fake.dir); }
FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
    for (int i = 0; i < 9; ++i)
        if (i != fake.missing && !strcmp(name, NAMES[i])) return FARPROC(EXPORTS[i]);
    return nullptr;
}
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD flags) {
    return guid->Data1 == 0x4D1E55B2 && flags == 0x12 ? &fake : INVALID_HANDLE_VALUE;
}
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    data->Reserved = index;
    return set == &fake && data->cbSize == 32 && index < fake.bus.size() && fake.bus[index] != 'E';
}
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                             PDWORD required, PSP_DEVINFO_DATA) {
    const std::string path = "\\\\?\\hid#" + std::to_string(data->Reserved);
    const char fault = fake.bus[data->Reserved];
    // The size query is answered for no record and a size of 0 only.
    if (fault != 'S' && (detail || size == 0)) *required = DWORD(4 + path.size() + 1);
    if (!detail || size < 4 + path.size() + 1 || detail->cbSize != 8 || fault == 'D') return 0;
    return strcpy(detail->DevicePath, path.c_str()) != nullptr;
}
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) { return note('d', 0) && set == &fake; }
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void*, DWORD disposition,
                          DWORD flags, HANDLE) {
    const size_t i = strtoul(path + 8, nullptr, 10);
    const bool opens = access == 0xC0000000 && share == 3 && disposition == 3 && !flags;
    return opens && fake.bus[i] != 'O' && note('o', i) ? HANDLE(0x1000 + i) : INVALID_HANDLE_VALUE;
}
BOOL WINAPI CloseHandle(HANDLE device) { return note('c', uintptr_t(device) - 0x1000); }
}
// NOLINTEND(readability-identifier-naming)

TEST(WindowsBackend, BindsHidDllFromTheSystemDirectoryAndFillsSlotsInOrder) {
    const std::string sys = "hid.DLL 2048;";
    const std::string d251(251, 'd');
    const std::string d252 = d251 + "d";
    std::vector<std::tuple<std::string, std::string, int, int, const char*>> cases = {
        {"all nine", sys, -1, 9, nullptr},
        {"no hid.dll", sys, 9, 0, nullptr},
        {"old Windows", sys + "X\\hid.DLL 0;", -1, 9, "X"},
        {"longest directory", sys + d251 + "\\hid.DLL 0;", -1, 9, d251.c_str()},
        {"directory too long", sys, -1, 0, d252.c_str()},
        {"no system directory", sys, -1, 0, ""}};
    for (int i = 0; i < 9; ++i)
        cases.emplace_back("missing " + std::to_string(i), sys, i, i, nullptr);
    for (const auto& [name, loads, missing, filled, dir] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(filled == 9, bind_again("", missing, dir));
        EXPECT_EQ(loads, fake.log);
        const auto* slots = reinterpret_cast<const Function*>(&hid_entry_points);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(i < filled ? EXPORTS[i] : nullptr, slots[i]) << i;
    }
}
TEST(WindowsBackend, OpensTheFirstMatchingInterfaceAndGivesBackTheRest) {
    const std::tuple<const char*, std::string, std::string, int, int> cases[] = {
        {"faults", "vpxSDOAMN..", "o0;c0;o1;c1;o2;c2;o6;c6;o7;c7;o8;c8;o9;d0;", -1, 9},
        {"enumeration ends", "E.", "d0;", -1, -1},
        {"no export 2", ".", "", 1, -1},  // the search needs slots 1 to 4
        {"no export 4", ".", "", 3, -1},
        {"interface 254", std::string(254, 'S') + ".", "o254;d0;", -1, 254},
        {"interface 255", std::string(255, 'S') + ".", "d0;", -1, -1}};
    for (const auto& [name, bus, log, missing, found] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(found < 0 ? -1 : 0x1000 + found, search(bus, missing));
        EXPECT_EQ(log, fake.log);
    }
}

TEST(WindowsBackend, FeatureReportsPassThroughTheirSlots) {
    DeviceFailure failure = {};
    uint8_t report[9] = {1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB};
    EXPECT_EQ(0x1000, search("."));
    EXPECT_TRUE(hid_get_feature(0x1000, report, 9, &failure));
    EXPECT_EQ(std::vector<uint8_t>({1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB}), fake.feature);
    EXPECT_TRUE(hid_set_feature(0x1000, report, 9, &failure));  // sends the answer got
    EXPECT_EQ(std::vector<uint8_t>(9, 0x5A), fake.feature);
    close_device(0x1000);
    EXPECT_EQ("o0;d0;c0;", fake.log);
}

// The commands' error lines: the second names the interface that matched and
// Windows' message for the error, when there is one.
TEST(WindowsBackend, RefusedRequestsSayWhy) {
    const std::tuple<const char*, const char*, const char*, DWORD, int> cases[] = {
        {"message", " Gone. \r\n \n", "trelkey: \\\\?\\hid#1:  Gone.\n", 1167, -1},
        {"blank message", " \r\n", "trelkey: \\\\?\\hid#1: Windows error 1167\n", 1167, -1},
        {"no error", "The operation completed successfully.\r\n", "", 0, -1},
        {"no feature slots", "Gone.", "", 1167, 5}};  // slots 6 to 9 empty
    const ChannelAssignment list[4] = {{0x04, 0}, {0xFF, 0xFF}, {0xFF, 0xFF}, {0xFF, 0xFF}};
    for (const auto& [name, message, second_line, error, missing] : cases) {
        for (int set = 0; set < 2; ++set) {
            SCOPED_TRACE(std::string(name) + (set ? ", set" : ", read"));
            search("vF", missing);
            fake.error = error;
            fake.message = message;
            testing::internal::CaptureStderr();
            EXPECT_FALSE(set ? set_configuration(list) : read_configuration());
            const std::string first = set ? "Device write error. \n" : "Device read error. \n";
            EXPECT_EQ(first + second_line, testing::internal::GetCapturedStderr());
        }
    }
}
