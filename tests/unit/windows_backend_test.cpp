// The Windows backend over a double of the Win32 calls it makes, for what
// wine cannot produce: a bus of HID interfaces, a letter each, whose faults
// each call can be made to meet, and a log of the calls that load hid.dll,
// open and close interfaces, fetch and free report layouts and exchange
// feature reports. The program under test looks for vendor 1234, product
// 5678, "Test Maker", "Kestavo".
#include <gtest/gtest.h>
#include <locale.h>
#include <setupapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>

#include "config/commands.h"
#include "hid/hid_device.h"
#include "hid/own_window.h"
#include "hid/unit_search.h"
#include "hid/windows/hid_library.h"

namespace {

// The bus: '.' the device; v vendor 1235, p product 5679, x the IDs swapped;
// C a media-key collection of the device, without its feature report;
// faults: E the enumeration, S the detail size query, D the detail call, Q
// the open without access, O the open for reading and writing, A the
// attributes call (after writing the IDs), M and N a text (after writing
// it), G the report layout, F the feature requests.
struct Fake {
    // log: "<library> <flags>;" per load; q<i>; and o<i>; per open of
    // interface i without access and for reading and writing, c<i>; per
    // close; g<i>; and p<i>; when its report layout is fetched and freed; d0;
    // when the set is destroyed.
    std::string bus, log;
    std::wstring message;  // FormatMessageW's text for error
    // The first export hid.dll lacks, by slot from 0 (12: no hid.dll), and
    // the exports asked for. The lab's wine checks their names.
    int missing = -1, lookups = 0;
    // Old Windows' system directory ("": the call fails); none: Windows knows
    // LOAD_LIBRARY_SEARCH_SYSTEM32.
    const char* dir = nullptr;
    DWORD error = 0;  // GetLastError(), set by the calls that fail
    // The console's output code page, whether standard error is that
    // console, and what was written to it.
    UINT code_page = 0, console = 0;
    std::wstring written = {};
    DWORD processes = 0;  // in the console's process list
} fake;

// Interface i's path is "\\?\hid#i"; it opens for reading and writing as
// handle 0x1000 + i, without access as 0x2000 + i, and its layout is 0x3000 + i.
char at(const void* device) { return fake.bus[uintptr_t(device) & 0xFFF]; }
// Logs an event; TRUE.
BOOL note(char what, size_t i) { return !(fake.log += what + std::to_string(i) + ";").empty(); }

template <char FAULT>  // M: the manufacturer, N: the product
BOOLEAN WINAPI get_text(HANDLE device, PVOID buffer, ULONG length) {
    const std::u16string t = FAULT == 'M' ? u"Test Maker" : u"Kestavo";
    return length == 512 && memcpy(buffer, t.c_str(), 2 * t.size() + 2) && at(device) != FAULT;
}
BOOLEAN WINAPI get_attributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
    attributes->VendorID = at(device) == 'v' ? 0x1235 : at(device) == 'x' ? 0x5678 : 0x1234;
    attributes->ProductID = at(device) == 'p' ? 0x5679 : at(device) == 'x' ? 0x1234 : 0x5678;
    return attributes->Size == 12 && at(device) != 'A';
}
// Answers with 9 in every byte.
BOOLEAN WINAPI exchange_feature(HANDLE device, PVOID buffer, ULONG length) {
    return memset(buffer, 9, length) && at(device) != 'F';
}
void WINAPI get_hid_guid(LPGUID guid) { *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB}}; }
BOOLEAN WINAPI get_layout(HANDLE device, PHIDP_PREPARSED_DATA* layout) {
    *layout = PHIDP_PREPARSED_DATA(uintptr_t(device) + 0x1000);
    return at(device) != 'G' && note('g', uintptr_t(device) & 0xFFF);
}
BOOLEAN WINAPI free_layout(PHIDP_PREPARSED_DATA l) { return note('p', uintptr_t(l) & 0xFFF); }
// Feature report 1 of 9 bytes, except on C.
LONG WINAPI initialize_report(HIDP_REPORT_TYPE t, UCHAR id, PHIDP_PREPARSED_DATA l, char*,
                              ULONG n) {
    const bool has = t == HidP_Feature && id == 1 && n == 9 && uintptr_t(l) >> 12 == 3;
    return has && at(l) != 'C' ? 0x110000 : LONG(0xC0110010);
}

// hid.dll's exports in slot order; those never called abort.
typedef void (*Function)();
const Function EXPORTS[] = {
    Function(get_hid_guid),      Function(get_attributes), Function(get_text<'M'>),
    Function(get_text<'N'>),     Function(abort),          Function(exchange_feature),
    Function(exchange_feature),  Function(get_layout),     Function(free_layout),
    Function(initialize_report), Function(abort),          Function(abort)};

// A fresh double with its bus and hid.dll bound whole, then the double given
// and hid.dll bound again, the log starting there; the second binding's result.
bool bind_again(const Fake& with) {
    fake = {with.bus, {}, {}};
    setlocale(LC_CTYPE, "C.UTF-8");  // for the C library's UTF-8
    EXPECT_TRUE(bind_hid_library());
    fake = with;
    return bind_hid_library();
}

}  // namespace

// NOLINTBEGIN(readability-identifier-naming)
extern "C" {
// Win32 declares the arguments writable.
DWORD WINAPI FormatMessageW(DWORD flags, const void* source, DWORD id, DWORD language, wchar_t* to,
                            DWORD size, va_list* arguments) {  // cppcheck-suppress constParameter
    if (flags != 0x1200 || source || id != fake.error || language || arguments) return 0;
    return fake.message.size() < size ? swprintf(to, size, L"%ls", fake.message.c_str()) : 0;
}
// UTF-8 through the C library's; code page 850 has \u00e9 as 0x82, and any
// other code page here nothing beyond ASCII.
int WINAPI MultiByteToWideChar(UINT page, DWORD, const char* s, int n, wchar_t* to, int size) {
    return page == 65001 && n == -1 ? int(mbstowcs(to, s, size)) + 1 : 0;
}
int WINAPI WideCharToMultiByte(UINT page, DWORD, const wchar_t* s, int n, char* to, int size,
                               const char*, BOOL*) {
    if (page == 65001 || n != -1) return n == -1 ? int(wcstombs(to, s, size)) + 1 : 0;
    std::string bytes(s, s + wcslen(s));  // each unit cut to a byte: ASCII and \u00e9 here
    replace(bytes.begin(), bytes.end(), '\xE9', page == 850 ? '\x82' : '?');
    return snprintf(to, size, "%s", bytes.c_str()) + 1;
}
// Standard error, 0xFFFFFFF4, may be a console.
HANDLE WINAPI GetStdHandle(DWORD which) { return HANDLE(uintptr_t(which)); }
BOOL WINAPI GetConsoleMode(HANDLE out, DWORD*) { return fake.console && out == HANDLE(0xFFFFFFF4); }
BOOL WINAPI WriteConsoleW(HANDLE out, const void* text, DWORD length, DWORD*, void*) {
    return !fake.written.append(static_cast<const wchar_t*>(text), length).empty() &&
           out == HANDLE(0xFFFFFFF4);
}
UINT WINAPI GetConsoleOutputCP(void) { return fake.code_page; }
DWORD WINAPI GetConsoleProcessList(DWORD*, DWORD size) { return size > 0 ? fake.processes : 0; }
DWORD WINAPI GetLastError(void) { return fake.error; }
HMODULE WINAPI LoadLibraryA(const char* name) { return LoadLibraryExA(name, nullptr, 0); }
HMODULE WINAPI LoadLibraryExA(const char* name, HANDLE, DWORD flags) {
    fake.log += name + (" " + std::to_string(flags)) + ";";
    const bool refused = fake.dir && flags == 0x800;                     // ERROR_INVALID_PARAMETER
    if (refused || fake.missing == 12) fake.error = refused ? 87 : 126;  // ERROR_MOD_NOT_FOUND
    return refused || fake.missing == 12 ? nullptr : HMODULE(&fake);
}
UINT WINAPI GetSystemDirectoryA(char* to, UINT size) { return snprintf(to, size, "%s", fake.dir); }
FARPROC WINAPI GetProcAddress(HMODULE, const char*) {
    const int slot = fake.lookups++;
    return slot < 12 && slot != fake.missing ? FARPROC(EXPORTS[slot]) : nullptr;
}
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* guid, const char*, struct HWND__*, DWORD flags) {
    return guid->Data1 == 0x4D1E55B2 && flags == 0x12 ? &fake : INVALID_HANDLE_VALUE;
}
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, struct _SP_DEVINFO_DATA*, const GUID*,
                                        DWORD index, SP_DEVICE_INTERFACE_DATA* data) {
    data->Reserved = index;
    return set == &fake && data->cbSize == 32 && index < fake.bus.size() && fake.bus[index] != 'E';
}
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, SP_DEVICE_INTERFACE_DATA* data,
                                             SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size,
                                             DWORD* required, struct _SP_DEVINFO_DATA*) {
    const std::string path = "\\\\?\\hid#" + std::to_string(data->Reserved);
    const char fault = fake.bus[data->Reserved];
    // The size query is answered for no record and a size of 0 only.
    if (fault != 'S' && (detail || size == 0)) *required = DWORD(4 + path.size() + 1);
    if (!detail || size < 4 + path.size() + 1 || detail->cbSize != 8 || fault == 'D') return 0;
    return strcpy(detail->DevicePath, path.c_str()) != nullptr;
}
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) { return note('d', 0) && set == &fake; }
HANDLE WINAPI CreateFileA(const char* path, DWORD access, DWORD share, void*, DWORD disposition,
                          DWORD flags, HANDLE) {
    const size_t i = strtoul(path + 8, nullptr, 10);
    const char kind = access == 0 ? 'q' : access == 0xC0000000 ? 'o' : '\0';
    if (!kind || share != 3 || disposition != 3 || flags || fake.bus[i] == kind - 'a' + 'A')
        return INVALID_HANDLE_VALUE;
    return note(kind, i) ? HANDLE((kind == 'q' ? 0x2000 : 0x1000) + i) : nullptr;
}
BOOL WINAPI CloseHandle(HANDLE device) { return note('c', uintptr_t(device) & 0xFFF); }
}
// NOLINTEND(readability-identifier-naming)

// Whether the log shows, for each interface, every handle closed and every
// layout freed, and an open for reading and writing only of a unit, whose
// letter is in `units`.
void expect_released(const std::string& units) {
    int held[256] = {};  // per interface
    std::istringstream log(fake.log);
    for (std::string event; std::getline(log, event, ';');) {
        const size_t i = strtoul(event.c_str() + 1, nullptr, 10);
        held[i] += event[0] == 'q' || event[0] == 'o' || event[0] == 'g';
        held[i] -= event[0] == 'c' || event[0] == 'p';
        if (event[0] == 'o' && units.find(fake.bus[i]) == std::string::npos) held[i] += 100;
    }
    for (size_t i = 0; i < fake.bus.size(); ++i) EXPECT_EQ(0, held[i]) << i << " in " << fake.log;
}

// Binds hid.dll lacking export `missing` under old Windows' `dir`, then
// reads from the first unit that opens: the loads asked for, and what the
// read wrote on standard error. Whatever the faults, no interface but a unit is opened for
// reading and writing, and every handle and layout is released.
TEST(WindowsBackend, BindsHidDllAndUsesTheFirstUnitThatOpens) {
    // d: the longest system directory the path fits with (251 characters).
    const std::string d(251, 'd');
    const std::string dd = d + "d";
    const std::string none =
        "Device open error. \ntrelkey: no unit found with ID 1234:5678, "
        "manufacturer \"Test Maker\", product \"Kestavo\"\n";
    const std::string refused = "Device open error. \ntrelkey: hid.dll: Refused.\n";
    const std::tuple<const char*, std::string, int, const char*, std::string, std::string> cases[] =
        {{"faults", "vpxSDQAMNGCO.", -1, nullptr, "hid.DLL 2048;",
          "trelkey: 2 units attached; this was the one at \\\\?\\hid#12 (trelkey -l lists "
          "them, -d LOCATION chooses)\n"},
         {"old Windows", ".", -1, "X", "hid.DLL 2048;X\\hid.DLL 0;", ""},
         {"longest directory", ".", -1, d.c_str(), "hid.DLL 2048;" + d + "\\hid.DLL 0;", ""},
         {"directory too long", ".", -1, dd.c_str(), "hid.DLL 2048;", refused},
         {"no system directory", ".", -1, "", "hid.DLL 2048;", refused},
         {"no export 10", ".", 9, nullptr, "hid.DLL 2048;", refused},  // the search needs 1 to 10
         {"no export 11", ".", 10, nullptr, "hid.DLL 2048;", ""},
         {"enumeration ends", "E.", -1, nullptr, "hid.DLL 2048;", none},
         {"254", std::string(254, 'S') + ".", -1, nullptr, "hid.DLL 2048;", ""},
         {"interface 255", std::string(255, 'S') + ".", -1, nullptr, "hid.DLL 2048;", none}};
    for (const auto& [name, bus, missing, dir, loads, lines] : cases) {
        SCOPED_TRACE(name);
        bind_again({bus, {}, L"Refused.", missing, 0, dir, 5});
        EXPECT_EQ(loads, fake.log.substr(0, fake.log.find(';', fake.log.rfind("DLL")) + 1));
        testing::internal::CaptureStderr();
        EXPECT_EQ(lines.find("Device") == std::string::npos, read_configuration({}));
        EXPECT_EQ(lines, testing::internal::GetCapturedStderr());
        expect_released(".O");
    }
}

// The commands' error lines: the second names the interface that matched and
// Windows' message for the error, when there is one.
TEST(WindowsBackend, RefusedRequestsSayWhy) {
    const std::tuple<const wchar_t*, const char*, DWORD> cases[] = {
        {L" Gone. \r\n \n", "trelkey: \\\\?\\hid#1:  Gone.\n", 1167},
        {L" \r\n", "trelkey: \\\\?\\hid#1: Windows error 1167\n", 1167},  // blank message
        {L"The operation completed successfully.\r\n", "", 0}};
    const ChannelAssignment none = {0xFF, 0xFF};
    for (const auto& [message, line, error] : cases) {
        SCOPED_TRACE(message);
        bind_again({"vF", {}, message, -1, 0, nullptr, error});
        testing::internal::CaptureStderr();
        EXPECT_FALSE(read_configuration({}));
        EXPECT_FALSE(set_configuration(&none, {}));
        EXPECT_EQ(std::string("Device read error. \n") + line + "Device write error. \n" + line,
                  testing::internal::GetCapturedStderr());
        expect_released("F");
    }  // A message cut to fit is never cut inside a character.
    bind_again({"", {}, L"a\u00e9", -1, 0, nullptr, 1167});
    char cut[3];
    windows_error_text(1167, cut, sizeof cut);
    EXPECT_STREQ("a", cut);
}

// -l passes every unit, with Windows' reason in UTF-8 when it would not open
// for reading and writing; -d uses only the interface with that path, and
// says why when it cannot, in the console's language: to a console in
// UTF-16, to a pipe or file in the console's code page, 850 here.
TEST(WindowsBackend, ListsUnitsAndSaysWhyTheOneNamedCannotBeUsed) {
    bind_again({".O.Q", {}, L"Refus\u00e9.", -1, 0, nullptr, 5, 850});
    testing::internal::CaptureStdout();
    EXPECT_TRUE(list_units({}));
    EXPECT_EQ("\\\\?\\hid#0\n\\\\?\\hid#1 (Refus\x82.)\n\\\\?\\hid#2\n",
              testing::internal::GetCapturedStdout());
    fake.console = 1;  // the interface that will not even open without access
    EXPECT_FALSE(read_configuration({"\\\\?\\hid#3", false, 0, 0}));
    EXPECT_EQ(L"Device open error. \r\ntrelkey: \\\\?\\hid#3: Refus\u00e9.\r\n", fake.written);
    expect_released(".O");
}

// Started from Explorer, the console lists this process alone: the window
// points to the page and waits for Enter, reading that line only; from a
// shell's console nothing is written or read.
TEST(WindowsBackend, AWindowOfItsOwnWaitsForEnter) {
    char input[] = "/tmp/trelkey_enter_XXXXXX";
    const int file = mkstemp(input);
    EXPECT_EQ(5, write(file, "\nnext", 5));
    close(file);
    for (const DWORD processes : {1u, 2u}) {
        fake.processes = processes;
        ASSERT_TRUE(freopen(input, "r", stdin));
        testing::internal::CaptureStdout();
        keep_own_window_open();
        EXPECT_EQ(processes == 1 ? "\nTo configure the unit in a window, open trelkey.html, beside "
                                   "trelkey.exe, in Chrome, Edge or Opera.\nPress Enter to close "
                                   "this window.\n"
                                 : "",
                  testing::internal::GetCapturedStdout());
        EXPECT_EQ(processes == 1 ? 1 : 0, ftell(stdin));
    }
    unlink(input);
}
