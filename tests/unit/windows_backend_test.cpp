// The Windows backend over the Win32 double. The program under test looks
// for vendor 1234, product 5678, "Test Maker", "Kestavo".
#include <gtest/gtest.h>

#include "double/win32_double.h"
#include "hid/hid_device.h"
#include "hid/windows/hid_library.h"

namespace {

const FakeInterface TRIGGER = {0x1234, 0x5678, u"Test Maker", u"Kestavo", FAULT_NONE};

FakeInterface with(Fault fault) { return {0x1234, 0x5678, u"Test Maker", u"Kestavo", fault}; }

FakeInterface named(const std::u16string& manufacturer, const std::u16string& product) {
    return {0x1234, 0x5678, manufacturer, product, FAULT_NONE};
}

// A fresh double with this bus, and hid.dll bound.
FakeWin32& bus(const std::vector<FakeInterface>& interfaces) {
    fake() = FakeWin32();
    fake().interfaces = interfaces;
    EXPECT_TRUE(bind_hid_library());
    return fake();
}

TEST(WindowsBackend, BindsHidDllFromTheSystemDirectoryAndEmptiesUnboundSlots) {
    const std::string system32 = "hid.DLL 2048;";
    const std::string full_path = system32 + "C:\\Windows\\system32\\hid.DLL 0;";
    const struct {
        int missing_export;
        bool search_flag_refused;
        std::string loads;
        int slots_filled;
    } cases[] = {
        {-1, false, system32, 9}, {-1, true, full_path, 9}, {9, false, system32, 0},
        {9, true, full_path, 0},  {0, false, system32, 0},  {4, false, system32, 4},
        {8, false, system32, 8},
    };
    for (const auto& c : cases) {
        bus({});  // every slot filled before
        fake().loads.clear();
        fake().lookups = 0;
        fake().missing_export = c.missing_export;
        fake().search_flag_refused = c.search_flag_refused;
        EXPECT_EQ(c.slots_filled == 9, bind_hid_library()) << c.missing_export;
        EXPECT_EQ(c.loads, fake().loads);
        const auto* slots = reinterpret_cast<const void* const*>(&hid_entry_points);
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
        {{{0x1235, 0x5678, u"Test Maker", u"Kestavo", FAULT_NONE},
          {0x1234, 0x5677, u"Test Maker", u"Kestavo", FAULT_NONE},
          {0x5678, 0x1234, u"Test Maker", u"Kestavo", FAULT_NONE},
          TRIGGER},
         3,
         {0, 1, 2, 3}},
        {{named(u"test maker", u"Kestavo"), named(u"Test Maker", u"Kestavo "),
          named(u"Test Mak\u0101r", u"Kestavo"), named(u"Test Maker", std::u16string(256, 'K')),
          TRIGGER},
         4,
         {0, 1, 2, 3, 4}},
        {{with(FAULT_DETAIL_SIZE), with(FAULT_DETAIL), with(FAULT_OPEN), with(FAULT_ATTRIBUTES),
          with(FAULT_MANUFACTURER), with(FAULT_PRODUCT), TRIGGER},
         6,
         {3, 4, 5, 6}},
        {{with(FAULT_ENUMERATION), TRIGGER}, -1, {}},
    };
    for (const auto& c : cases) {
        bus(c.interfaces);
        EXPECT_EQ(c.found < 0 ? -1 : 0x1000 + c.found, open_trigger_device(nullptr));
        EXPECT_EQ(c.opened, fake().opened);
        EXPECT_EQ(c.found < 0 ? 0 : 1, fake().live_handles);
        EXPECT_EQ(0, fake().live_sets);
        EXPECT_EQ(0, fake().live_blocks);
    }
}

TEST(WindowsBackend, SearchesInterfaces0To254WithItsSlotsAndMemoryOnly) {
    for (int position : {254, 255}) {
        std::vector<FakeInterface> interfaces(position, named(u"Other", u"Kestavo"));
        interfaces.push_back(TRIGGER);
        bus(interfaces);
        EXPECT_EQ(position == 254 ? 0x1000 + 254 : -1, open_trigger_device(nullptr));
        EXPECT_EQ(254, fake().highest_index);
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
    for (bool refused : {false, true}) {
        bus({TRIGGER, TRIGGER}).feature_refused = refused;
        uint8_t report[9] = {1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB};
        EXPECT_EQ(!refused, hid_get_feature(0x1001, report, 9));
        EXPECT_EQ(1, fake().feature_interface);
        EXPECT_EQ(std::vector<unsigned char>({1, 0xAA, 0, 0, 0, 0, 0, 0, 0xBB}), fake().feature);
        EXPECT_EQ(9, report[8]);
        uint8_t sent[9] = {1, 2, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        EXPECT_EQ(!refused, hid_set_feature(0x1000, sent, 9));
        EXPECT_EQ(0, fake().feature_interface);
        EXPECT_EQ(std::vector<unsigned char>({1, 2, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
                  fake().feature);
        close_device(0x1000);
        EXPECT_EQ(-1, fake().live_handles);
    }
    bus({TRIGGER}).missing_export = 5;
    bind_hid_library();
    uint8_t report[9] = {1};
    EXPECT_FALSE(hid_get_feature(0x1000, report, 9));
    EXPECT_FALSE(hid_set_feature(0x1000, report, 9));
}

}  // namespace
