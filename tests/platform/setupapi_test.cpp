// The HID interface set over a sysfs tree of the test's own: which nodes it
// lists, in what order, and the interface detail query's size protocol.
#include <gtest/gtest.h>
#include <setupapi.h>
#include <stddef.h>

#include <string>
#include <vector>

#include "platform/hid_dll.h"
#include "platform/hidraw.h"
#include "temp_tree.h"

namespace {

const size_t PATH_OFFSET = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

class DeviceSetTest : public testing::Test {
  protected:
    void SetUp() override {
        temp = make_temp_dir();
        // Nodes are links into devices/; whether their targets exist does
        // not matter to the listing.
        for (const char* name : {"hidraw2", "hidraw10", "hidraw1", "hidraw", "hidrawx", "hidraw1a",
                                 "hidraw-1", "event0", "hidraw99999999999"}) {
            make_link(temp + "/sys/class/hidraw/" + name, std::string("../../devices/") + name);
        }
        set = open_hidraw_device_set((temp + "/sys").c_str(), (temp + "/dev").c_str());
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
        interface.cbSize = sizeof interface;
    }
    void TearDown() override {
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
        remove_tree(temp);
    }

    std::string temp;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVICE_INTERFACE_DATA interface = {};
};

TEST_F(DeviceSetTest, ListsHidrawNodesInNumericOrder) {
    const char* const expected[] = {"hidraw1", "hidraw2", "hidraw10"};
    for (DWORD index = 0; index < 3; ++index) {
        ASSERT_TRUE(
            SetupDiEnumDeviceInterfaces(set, nullptr, &HID_INTERFACE_GUID, index, &interface));
        // The two calls discovery makes: the size, then the path.
        DWORD required = 0;
        EXPECT_FALSE(
            SetupDiGetDeviceInterfaceDetailA(set, &interface, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        std::vector<char> block(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(
            SetupDiGetDeviceInterfaceDetailA(set, &interface, detail, required, nullptr, nullptr));
        EXPECT_EQ(std::string(block.data() + PATH_OFFSET), temp + "/dev/" + expected[index]);
    }
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &HID_INTERFACE_GUID, 3, &interface));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}

TEST_F(DeviceSetTest, DetailQueryChecksRecordAndSize) {
    const DWORD required = PATH_OFFSET + (temp + "/dev/hidraw10").size() + 1;
    const DWORD record = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    const struct {
        const char* name;
        bool with_record;
        DWORD cb_size;
        DWORD size;
        DWORD error;
    } cases[] = {
        {"size query", false, 0, 0, ERROR_INSUFFICIENT_BUFFER},
        {"size without record", false, 0, required, ERROR_INVALID_USER_BUFFER},
        {"one byte short", true, record, required - 1, ERROR_INSUFFICIENT_BUFFER},
        {"block size as cbSize", true, required, required, ERROR_INVALID_USER_BUFFER},
        {"exact size", true, record, required, ERROR_SUCCESS},
    };
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &HID_INTERFACE_GUID, 2, &interface));
    for (const auto& c : cases) {
        std::vector<char> block(required + 16, 'Z');
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = c.cb_size;
        DWORD reported = 0;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(
            SetupDiGetDeviceInterfaceDetailA(set, &interface, c.with_record ? detail : nullptr,
                                             c.size, &reported, nullptr),
            c.error == ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(reported, required) << c.name;
        EXPECT_EQ(block[required], 'Z') << c.name;
    }
}

TEST_F(DeviceSetTest, RefusesForeignRecordsSetsAndClasses) {
    const GUID other_class = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(SetupDiGetClassDevsA(&other_class, nullptr, nullptr, DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    uint64_t not_a_set[4] = {};
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(not_a_set, nullptr, &HID_INTERFACE_GUID, 0, &interface));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    interface.cbSize = sizeof interface + 4;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &HID_INTERFACE_GUID, 0, &interface));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
}

TEST(DeviceSet, MissingClassDirectoryIsAnEmptySet) {
    HDEVINFO set = open_hidraw_device_set("/nonexistent", "/dev");
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA interface = {sizeof interface, {}, 0, 0};
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &HID_INTERFACE_GUID, 0, &interface));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

}  // namespace
