// Report descriptors that CreateFileA refuses, and the walk from a hidraw
// node to its USB device's attributes.
#include "platform/hidraw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_tree.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes joined(const Bytes& first, const Bytes& second) {
    Bytes all = first;
    all.insert(all.end(), second.begin(), second.end());
    return all;
}

// The usual boot keyboard: modifier byte, LED output report, six key slots.
const Bytes KEYBOARD = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
// Boot mouse: three buttons and X/Y inside a Pointer physical collection.
const Bytes MOUSE = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                     0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                     0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
                     0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};
// Vendor page 0xFF00, feature report 1: the report ID and 8 data bytes.
const Bytes VENDOR = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0x15,
                      0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08, 0xB1, 0x02, 0xC0};
const Bytes CONSUMER = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x19,
                        0x00, 0x2A, 0x3C, 0x02, 0x15, 0x00, 0x26, 0x3C, 0x02,
                        0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};

struct DescriptorCase {
    const char* name;
    Bytes descriptor;
    bool refused;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const DescriptorCase& c, std::ostream* out) { *out << c.name; }

const DescriptorCase DESCRIPTOR_CASES[] = {
    {"boot_keyboard", KEYBOARD, true},
    {"boot_mouse", MOUSE, true},
    {"vendor_feature_report", VENDOR, false},
    {"keyboard_and_vendor", joined(KEYBOARD, VENDOR), false},
    {"keyboard_and_mouse", joined(KEYBOARD, MOUSE), true},
    {"consumer_control", CONSUMER, false},
    {"empty", {}, false},
    {"cut_inside_an_item", Bytes(KEYBOARD.begin(), KEYBOARD.begin() + 7), false},
    {"cut_before_end_collection", Bytes(KEYBOARD.begin(), KEYBOARD.end() - 1), false},
    {"cut_inside_long_item", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xC0, 0xFE, 0x10, 0x00}, false},
    // A four-byte Usage names its own page, whatever the Usage Page says.
    {"extended_usage", {0x06, 0x00, 0xFF, 0x0B, 0x06, 0x00, 0x01, 0x00, 0xA1, 0x01, 0xC0}, true},
    // Four data bytes, not three: a misread would see a main item here.
    {"four_byte_item", {0x05, 0x01, 0x09, 0x06, 0x27, 0xFF, 0, 0, 0, 0xA1, 0x01, 0xC0}, true},
    {"first_usage_counts", {0x05, 0x01, 0x09, 0x01, 0x09, 0x06, 0xA1, 0x01, 0xC0}, false},
    // An Input item uses up the Usage before it.
    {"usage_cleared", {0x0B, 0x06, 0, 0x01, 0, 0x81, 0x01, 0xA1, 0x01, 0xC0}, false},
    {"pop_restores_page",
     {0x05, 0x01, 0xA4, 0x06, 0x00, 0xFF, 0xB4, 0x09, 0x06, 0xA1, 0x01, 0xC0},
     true},
    // Only top-level collections count.
    {"vendor_inside_keyboard", joined({0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}, joined(VENDOR, {0xC0})),
     true},
    // A long item's data are no items; these bytes would open a collection.
    {"long_item_skipped", joined({0xFE, 0x02, 0x00, 0xA1, 0x01}, KEYBOARD), true},
};

class DescriptorTest : public testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorTest, RefusesOnlyKeyboardsAndMice) {
    const DescriptorCase& c = GetParam();
    // A copy of exactly the descriptor's size, so that a sanitizer catches a
    // read past its end.
    unsigned char* copy = new unsigned char[c.descriptor.size()];
    std::copy(c.descriptor.begin(), c.descriptor.end(), copy);
    EXPECT_EQ(descriptor_only_keyboards_and_mice(copy, c.descriptor.size()), c.refused);
    delete[] copy;
}

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorTest, testing::ValuesIn(DESCRIPTOR_CASES),
                         [](const testing::TestParamInfo<DescriptorCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(UsbAttribute, ComesFromTheNearestUsbDeviceBelowTheRoot) {
    // hidraw3 on a USB device behind a root hub; hidraw4 on uhid, with
    // USB-looking files at and above the sysfs root, which are out of reach.
    const std::string temp = make_temp_dir();
    const std::string root = temp + "/sys";
    const std::string hub = root + "/devices/pci0000:00/0000:00:14.0/usb1";
    const std::string hid = "devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1234:5678.0001";
    const std::string uhid = "devices/virtual/misc/uhid/0003:046D:C52B.0002";
    for (const std::string& dir : {hub, hub + "/1-2", root, temp}) {
        write_file(dir + "/idVendor", "1234\n");
        write_file(dir + "/manufacturer", dir == hub + "/1-2" ? "Kestavo\n" : "Outside\n");
    }
    write_file(hub + "/1-2/product", "Trigger Pad");
    write_file(hub + "/serial", "0000:00:14.0\n");
    make_link(root + "/" + hid + "/hidraw/hidraw3/device", "../../../0003:1234:5678.0001");
    make_link(root + "/dev/char/241:3", "../../" + hid + "/hidraw/hidraw3");
    make_link(root + "/" + uhid + "/hidraw/hidraw4/device", "../../../0003:046D:C52B.0002");
    make_link(root + "/dev/char/241:4", "../../" + uhid + "/hidraw/hidraw4");

    const struct {
        unsigned minor;
        const char* attribute;
        const char* expected;  // null: not found
    } cases[] = {
        {3, "manufacturer", "Kestavo"}, {3, "product", "Trigger Pad"},
        {3, "serial", nullptr},  // the root hub's is not the device's
        {4, "manufacturer", nullptr},   {5, "manufacturer", nullptr},
    };
    for (const auto& c : cases) {
        char text[64] = "";
        EXPECT_EQ(read_usb_attribute(root.c_str(), 241, c.minor, c.attribute, text, sizeof text),
                  c.expected != nullptr);
        EXPECT_STREQ(text, c.expected != nullptr ? c.expected : "") << c.minor << c.attribute;
    }
    remove_tree(temp);
}

}  // namespace
