// The kernel32 and hid.dll stand-ins as far as they work without a device:
// module and export lookup, opening and closing files, argument checks, and
// the UTF-16 the string functions return.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

#include "hid/hid_library.h"
#include "platform/hid_dll.h"
#include "platform/hidraw.h"
#include "temp_tree.h"

namespace {

TEST(LoadLibraryExA, FindsHidDllByNameWithoutRegardToCase) {
    const struct {
        const char* name;
        bool found;
    } cases[] = {{"hid.DLL", true}, {"HID.DLL", true},   {"Hid", true},
                 {"hid.dl", false}, {"xhid.dll", false}, {"", false}};
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadLibraryExA(c.name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) != nullptr,
                  c.found);
        EXPECT_EQ(GetLastError(), c.found ? ERROR_SUCCESS : ERROR_MOD_NOT_FOUND) << c.name;
    }
}

TEST(GetProcAddress, BindsEveryEntryPointTheProgramUses) {
    ASSERT_TRUE(bind_hid_library());
    GUID guid;
    hid_entry_points.get_hid_guid(&guid);
    char text[40];
    snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.Data1,
             guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
             guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    EXPECT_STREQ(text, "4D1E55B2-F16F-11CF-88CB-001111000030");
}

TEST(GetProcAddress, FindsNoOtherNameOrModule) {
    HMODULE hid = LoadLibraryExA("hid.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(GetProcAddress(hid, "HidD_GetFeature"), nullptr);
    // Export names are case-sensitive; the built-in module has no ordinals.
    for (const char* name : {"hidd_getfeature", "HidD_GetFeature ", "HidD_GetIndexedString",
                             reinterpret_cast<const char*>(1)}) {
        EXPECT_EQ(GetProcAddress(hid, name), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&hid), "HidD_GetFeature"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

HANDLE open_existing(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(CreateFileA, OpensFilesThatAreNoHidrawNode) {
    const std::string temp = make_temp_dir();
    write_file(temp + "/plain", "not a device\n");
    HANDLE file = open_existing(temp + "/plain");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // The HID functions ask hidraw, which a plain file does not answer.
    HIDD_ATTRIBUTES attributes;
    unsigned char report[9] = {1};
    EXPECT_FALSE(HidD_GetAttributes(file, &attributes));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(HidD_GetFeature(file, report, sizeof report));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_TRUE(CloseHandle(file));
    for (HANDLE closed : {file, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        EXPECT_FALSE(CloseHandle(closed));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }

    const struct {
        std::string path;
        DWORD error;
    } failures[] = {
        {temp + "/missing", ERROR_FILE_NOT_FOUND},
        {temp + "/plain/hidraw0", ERROR_FILE_NOT_FOUND},
        {temp, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : failures) {
        EXPECT_EQ(open_existing(c.path), INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    remove_tree(temp);
}

TEST(HidD_SetNumInputBuffers, ChecksTheCountBeforeTheHandle) {
    for (ULONG count : {1u, 2u, 512u, 513u}) {
        EXPECT_FALSE(HidD_SetNumInputBuffers(INVALID_HANDLE_VALUE, count));
        const bool in_range = count >= 2 && count <= 512;
        EXPECT_EQ(GetLastError(), in_range ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    }
}

struct Utf16Case {
    const char* name;
    const char* text;
    size_t buffer_length;
    std::vector<unsigned> units;  // terminator included
};

void PrintTo(const Utf16Case& c, std::ostream* out) { *out << c.name; }

const Utf16Case UTF16_CASES[] = {
    {"ascii", "Kestavo", 512, {'K', 'e', 's', 't', 'a', 'v', 'o', 0}},
    {"latin_1", "M\xC3\xBCller", 512, {'M', 0xFC, 'l', 'l', 'e', 'r', 0}},
    {"euro_sign", "5\xE2\x82\xAC", 512, {'5', 0x20AC, 0}},
    {"surrogate_pair", "\xF0\x9F\x8E\xAE!", 512, {0xD83C, 0xDFAE, '!', 0}},
    {"invalid_byte",
     "a\xFF"
     "b\x80",
     512,
     {'a', 0xFFFD, 'b', 0xFFFD, 0}},
    {"overlong", "\xC0\xAF\xE0\x80\xAF", 512, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0}},
    {"sequence_cut_short", "\xE2\x82x\xF0\x9F\x8E", 512, {0xFFFD, 'x', 0xFFFD, 0}},
    {"encoded_surrogate", "\xED\xA0\x80", 512, {0xFFFD, 0xFFFD, 0xFFFD, 0}},
    {"beyond_u10ffff", "\xF4\x90\x80\x80", 512, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0}},
    {"cut_to_buffer", "Kestavo", 8, {'K', 'e', 's', 0}},
    {"odd_buffer_length", "Kestavo", 7, {'K', 'e', 0}},
    {"pair_not_split", "a\xF0\x9F\x8E\xAE", 6, {'a', 0}},
    {"terminator_only", "Kestavo", 2, {0}},
};

class Utf16Test : public testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16Test, ConvertsWithinTheBuffer) {
    const Utf16Case& c = GetParam();
    std::vector<unsigned char> buffer(c.buffer_length + 8, 0xAA);
    ASSERT_TRUE(utf8_to_utf16le(c.text, buffer.data(), c.buffer_length));
    for (size_t i = 0; i < c.units.size(); ++i) {
        EXPECT_EQ(buffer[2 * i] | (buffer[2 * i + 1] << 8), c.units[i]) << "unit " << i;
    }
    for (size_t i = 2 * c.units.size(); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xAA) << "byte " << i << " written";
    }
    EXPECT_FALSE(utf8_to_utf16le(c.text, buffer.data(), 1));
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf16Test, testing::ValuesIn(UTF16_CASES),
                         [](const testing::TestParamInfo<Utf16Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
