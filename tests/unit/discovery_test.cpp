#include "hid/windows/discovery.h"
#include "hid/hid_device.h"
#include "hid/identity.h"

#include <gtest/gtest.h>
#include <setupapi.h>
#include <string.h>

#include "double/win32_double.h"
#include "hid/device_identity.h"
#include "hid/windows/hid_library.h"

namespace {

// Interface indices the search may examine: 0 to 254.
constexpr long INTERFACE_LIMIT = 255;

FakeInterface& add_trigger_device() {
    return add_fake_device(DEVICE_VENDOR_ID, DEVICE_MANUFACTURER, DEVICE_PRODUCT_ID,
                           DEVICE_PRODUCT);
}

void add_other_devices(int count) {
    for (int i = 0; i < count; ++i) ++add_trigger_device().product_id;
}

// Slot i must hold the fake's export i when i < bound_count, else be null.
void expect_bound_slots(int bound_count) {
    uintptr_t slots[HID_ENTRY_POINT_COUNT];
    static_assert(sizeof slots == sizeof hid_entry_points, "nine pointer-sized slots");
    memcpy(slots, &hid_entry_points, sizeof slots);
    for (int i = 0; i < HID_ENTRY_POINT_COUNT; ++i) {
        const uintptr_t expected =
            i < bound_count ? reinterpret_cast<uintptr_t>(fake_hid_export(i)) : 0;
        EXPECT_EQ(expected, slots[i]) << "slot index " << i;
    }
}

TEST(HidLibraryBinding, LoadsHidDllFromTheSystemDirectoryOnly) {
    reset_fake_win32();
    EXPECT_TRUE(bind_hid_library());
    EXPECT_STRCASEEQ("hid.dll", fake_win32().load_name.c_str());
    EXPECT_EQ(nullptr, fake_win32().load_file);
    EXPECT_EQ(LOAD_LIBRARY_SEARCH_SYSTEM32, fake_win32().load_flags);
    expect_bound_slots(HID_ENTRY_POINT_COUNT);
}

// Each binding follows a complete one, so slots it leaves filled would show.
// Index -1 stands for hid.dll itself missing.
TEST(HidLibraryBinding, StopsAtTheFirstMissingExportAndEmptiesTheRest) {
    for (int missing = -1; missing < HID_ENTRY_POINT_COUNT; ++missing) {
        SCOPED_TRACE(testing::Message() << "missing export index " << missing);
        reset_fake_win32();
        ASSERT_TRUE(bind_hid_library());
        fake_win32().library_missing = missing < 0;
        fake_win32().missing_export = missing;
        fake_win32().export_lookups = 0;
        EXPECT_FALSE(bind_hid_library());
        EXPECT_EQ(missing + 1, fake_win32().export_lookups);
        expect_bound_slots(missing < 0 ? 0 : missing);
    }
}

// Searches the bus as arranged and checks the outcome: the handle of
// found_index (-1: none), nothing opened after it, no index past the limit
// enumerated, and every resource given back.
void expect_search(int found_index, const char* manufacturer, const char* product) {
    ASSERT_TRUE(bind_hid_library());
    HANDLE found = find_hid_device(DEVICE_VENDOR_ID, manufacturer, DEVICE_PRODUCT_ID, product);
    EXPECT_EQ(found_index, fake_handle_interface(found));
    if (found != INVALID_HANDLE_VALUE) CloseHandle(found);
    const FakeWin32& fake = fake_win32();
    if (found_index >= 0) {
        for (size_t i = found_index + 1; i < fake.interfaces.size(); ++i) {
            EXPECT_EQ(0, fake.interfaces[i].open_count) << "interface " << i;
        }
    }
    EXPECT_LT(fake.highest_enum_index, INTERFACE_LIMIT);
    EXPECT_EQ(fake.sets_created, fake.sets_destroyed);
    EXPECT_EQ("", fake_win32_problems());
}

struct SearchCase {
    const char* name;
    void (*arrange)();
    int found_index;  // interface whose handle comes back; -1 for none
    const char* manufacturer;
    const char* product;
};

TEST(DeviceSearch, FollowsTheMatchingRules) {
    // The texts searched for, short to keep each case on a line or two.
    const char* const m = DEVICE_MANUFACTURER;
    const char* const p = DEVICE_PRODUCT;
    const SearchCase cases[] = {
        {"empty bus", [] {}, -1, m, p},
        {"lone device", [] { add_trigger_device(); }, 0, m, p},
        {"first of two matches",
         [] {
             add_trigger_device();
             add_trigger_device();
         },
         0, m, p},
        {"unit above U+00FF is not its low byte",
         [] {
             std::u16string text = fake_wide_text(DEVICE_MANUFACTURER);
             text.back() = static_cast<char16_t>(text.back() + 0x100);
             add_trigger_device().manufacturer = text;
         },
         -1, m, p},
        {"units up to U+00FF are bytes, above are '?'",
         [] { add_trigger_device().manufacturer = u"Caf\u00e9 \u0113\u00ff"; }, 0, "Caf\xe9 ?\xff",
         p},
        {"no texts: IDs alone decide", [] { add_trigger_device().manufacturer_fails = true; }, 0,
         nullptr, nullptr},
        {"no product text: IDs alone decide", [] { add_trigger_device().manufacturer = u"Other"; },
         0, m, nullptr},
        {"no texts, other ID", [] { add_other_devices(1); }, -1, nullptr, nullptr},
        {"shortest usable detail record", [] { add_trigger_device().path = "abc"; }, 0, m, p},
        {"detail allocation fails",
         [] {
             fake_win32().heap_alloc_fails_at = 0;
             add_trigger_device();
             add_trigger_device();
         },
         1, m, p},
        {"enumeration fails before the device",
         [] {
             add_trigger_device().enum_fails = true;
             add_trigger_device();
         },
         -1, m, p},
        {"device set unavailable",
         [] {
             fake_win32().class_devs_fails = true;
             add_trigger_device();
         },
         -1, m, p},
        {"device at the last index searched",
         [] {
             add_other_devices(254);
             add_trigger_device();
         },
         254, m, p},
        {"device past the last index searched",
         [] {
             add_other_devices(255);
             add_trigger_device();
         },
         -1, m, p},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_win32();
        c.arrange();
        expect_search(c.found_index, c.manufacturer, c.product);
    }
}

struct SpoiledCase {
    const char* name;
    void (*spoil)(FakeInterface& device);
};

// A trigger device spoiled in one way, then a sound one: the search skips the
// first and goes on to the second.
TEST(DeviceSearch, SkipsASpoiledInterfaceAndGoesOn) {
    const SpoiledCase cases[] = {
        {"other vendor ID", [](FakeInterface& d) { ++d.vendor_id; }},
        {"other manufacturer", [](FakeInterface& d) { d.manufacturer = u"Other"; }},
        {"other product ID", [](FakeInterface& d) { ++d.product_id; }},
        {"other product text", [](FakeInterface& d) { d.product = u"Other"; }},
        {"unreadable manufacturer", [](FakeInterface& d) { d.manufacturer_fails = true; }},
        {"unreadable product", [](FakeInterface& d) { d.product_fails = true; }},
        {"attributes call fails with the right IDs",
         [](FakeInterface& d) { d.attributes_fail = true; }},
        {"open fails", [](FakeInterface& d) { d.open_fails = true; }},
        {"detail size 0", [](FakeInterface& d) { d.detail_size = 0; }},
        {"detail size below the record's layout", [](FakeInterface& d) { d.detail_size = 7; }},
        {"detail fetch fails", [](FakeInterface& d) { d.detail_fails = true; }},
        {"manufacturer filling the buffer unterminated",
         [](FakeInterface& d) {
             d.manufacturer = fake_wide_text(DEVICE_MANUFACTURER) + std::u16string(300, u'x');
         }},
    };
    for (const SpoiledCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_win32();
        c.spoil(add_trigger_device());
        add_trigger_device();
        expect_search(1, DEVICE_MANUFACTURER, DEVICE_PRODUCT);
    }
}

struct SlotCase {
    int missing_export;
    bool texts_given;
    bool searches;
};

// A search needs the GUID and attributes slots, and the string slots only
// when it compares texts; without them it enumerates nothing.
TEST(DeviceSearch, RunsOnlyWithTheSlotsItCalls) {
    const SlotCase cases[] = {
        {0, false, false}, {1, false, false}, {2, true, false}, {3, true, false},
        {2, false, true},  {3, false, true},  {4, true, true},
    };
    for (const SlotCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "missing " << c.missing_export << " texts " << c.texts_given);
        reset_fake_win32();
        add_trigger_device();
        fake_win32().missing_export = c.missing_export;
        bind_hid_library();
        const char* const manufacturer = c.texts_given ? DEVICE_MANUFACTURER : nullptr;
        const char* const product = c.texts_given ? DEVICE_PRODUCT : nullptr;
        HANDLE found = find_hid_device(DEVICE_VENDOR_ID, manufacturer, DEVICE_PRODUCT_ID, product);
        EXPECT_EQ(c.searches ? 0 : -1, fake_handle_interface(found));
        EXPECT_EQ(c.searches ? 1 : 0, fake_win32().sets_created);
        if (found != INVALID_HANDLE_VALUE) CloseHandle(found);
        EXPECT_EQ("", fake_win32_problems());
    }
}

TEST(DeviceSearch, PassesTheDocumentedArguments) {
    reset_fake_win32();
    add_trigger_device();
    ASSERT_TRUE(bind_hid_library());
    HANDLE found = reinterpret_cast<HANDLE>(open_trigger_device(nullptr));
    ASSERT_EQ(0, fake_handle_interface(found));
    CloseHandle(found);
    const FakeWin32& fake = fake_win32();
    EXPECT_EQ(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, fake.class_flags);
    EXPECT_FALSE(fake.class_extras_given);
    EXPECT_EQ(GENERIC_READ | GENERIC_WRITE, fake.open_access);
    EXPECT_EQ(FILE_SHARE_READ | FILE_SHARE_WRITE, fake.open_share);
    EXPECT_EQ(OPEN_EXISTING, fake.open_disposition);
    EXPECT_EQ(0u, fake.open_flags);
    EXPECT_FALSE(fake.open_extras_given);
    EXPECT_EQ(12u, fake.attributes_size);
    EXPECT_EQ(512u, fake.string_buffer_length);
}

// The checks every case above relies on must themselves catch a fault.
TEST(Win32Double, CatchesADoubleClose) {
    reset_fake_win32();
    add_trigger_device();
    ASSERT_TRUE(bind_hid_library());
    HANDLE found = reinterpret_cast<HANDLE>(open_trigger_device(nullptr));
    EXPECT_NE("", fake_win32_problems());
    EXPECT_TRUE(CloseHandle(found));
    EXPECT_EQ("", fake_win32_problems());
    EXPECT_FALSE(CloseHandle(found));
    EXPECT_NE("", fake_win32_problems());
}

struct NarrowCase {
    const char16_t* wide;
    const char* narrow;
};

void store_wide(const char16_t* text, size_t units, unsigned char* buffer) {
    for (size_t i = 0; i < units; ++i) {
        buffer[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        buffer[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
}

TEST(NarrowWideString, KeepsUnitsBelow0x100AndMarksTheRest) {
    const NarrowCase cases[] = {
        {u"", ""},
        {u"Kestavo", "Kestavo"},
        {u"Caf\u00e9\u00ff", "Caf\xe9\xff"},
        {u"\u0100\u0113\u0165\u4e2dx", "????x"},
    };
    for (const NarrowCase& c : cases) {
        SCOPED_TRACE(c.narrow);
        unsigned char buffer[DEVICE_TEXT_SIZE];
        memset(buffer, 0xAA, sizeof buffer);
        store_wide(c.wide, std::char_traits<char16_t>::length(c.wide) + 1, buffer);
        narrow_wide_string(buffer);
        EXPECT_STREQ(c.narrow, reinterpret_cast<const char*>(buffer));
    }
}

TEST(NarrowWideString, StopsAtTheBufferEndWithoutATerminator) {
    unsigned char buffer[DEVICE_TEXT_SIZE + 16];
    memset(buffer, 0x5A, sizeof buffer);
    std::u16string full(DEVICE_TEXT_SIZE / 2, u'k');
    full.back() = u'\u0113';
    store_wide(full.c_str(), full.size(), buffer);
    narrow_wide_string(buffer);
    const std::string expected = std::string(full.size() - 1, 'k') + "?";
    EXPECT_EQ(expected, reinterpret_cast<const char*>(buffer));
    for (size_t i = DEVICE_TEXT_SIZE; i < sizeof buffer; ++i) EXPECT_EQ(0x5A, buffer[i]) << i;
}

}  // namespace
