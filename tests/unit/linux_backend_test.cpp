// Which report descriptors mark an interface that is never opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/linux/report_descriptor.h"

namespace {

TEST(ReportDescriptor, OnlyKeyboardsKeypadsAndMice) {
    const std::string keyboard = "05010906a1010507190029ff8100c0";
    const std::string vendor = "06a0ff0901a1010901b102c0";
    const struct {
        std::string descriptor;
        bool only_keyboards_and_mice;
    } cases[] = {
        {keyboard, true},
        {"05010902a101a100c0c0", true},          // mouse, nested collection
        {"05010907a101c005010906a101c0", true},  // keypad, keyboard
        {"05090b06000100a101c0", true},          // usage with its own page
        {"0509a10105010906c0", false},           // usage after the collection
        {"0501a4050ab40906a101c0", true},        // push, pop
        {keyboard + vendor, false},
        {vendor, false},
        {"05010906a100c0", false},                       // not an application
        {"05010906a101", false},                         // never closed
        {"05010906a101c0c0", false},                     // closed twice
        {"05010906a101c006", false},                     // cut inside an item
        {"fe0200aabb" + keyboard + "fe0200aabb", true},  // long items
        {keyboard + "fe0200aa", false},                  // a long item cut short
        {keyboard + "fe0000", true},                     // an empty one
        {keyboard + "fe0500aa", false},                  // cut long item
        {"b4" + keyboard, false},                        // pop with nothing pushed
        {"a4a4a4a4a4a4a4a4a4" + keyboard, false},        // pushed too deep
        {"", false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> descriptor;
        for (size_t i = 0; i + 1 < c.descriptor.size(); i += 2)
            descriptor.push_back(
                static_cast<uint8_t>(std::stoi(c.descriptor.substr(i, 2), nullptr, 16)));
        EXPECT_EQ(c.only_keyboards_and_mice,
                  descriptor_only_keyboards_and_mice(descriptor.data(), descriptor.size()))
            << c.descriptor;
    }
}

}  // namespace
