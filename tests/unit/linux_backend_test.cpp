// Which report descriptors mark the unit's own interface: the one with
// feature report 1 of 9 bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/linux/report_descriptor.h"

namespace {

TEST(ReportDescriptor, FeatureReportOneOfNineBytes) {
    const std::string keyboard = "05010906a1010507190029ff8100c0";
    const std::string vendor = "06a0ff0901a10185010901150026ff0075089508b102c0";
    const std::string head = "06a0ff0901a101";  // vendor page, application collection
    const struct {
        std::string descriptor;
        bool has_report;
    } cases[] = {
        {vendor, true},
        {keyboard, false},
        {keyboard + vendor, true},
        {head + "850275089508b102c0", false},               // report 2
        {head + "850175089507b102c0", false},               // 7 data bytes
        {head + "8501750895088102c0", false},               // an input report
        {head + "850175089504b102b102c0", true},            // two Feature items
        {head + "850175089708000000b1028502b102c0", true},  // four-byte count; report 2 after it
        {head + "850175089508a485027510b4b102c0", true},    // push, pop
        {head + "850177ffffffff97ffffffffb10277000000809504b102753f9501b102c0", false},  // overflow
        {vendor.substr(0, vendor.size() - 2), false},  // never closed
        {vendor + "c0", false},                        // closed twice
        {vendor + "06", false},                        // cut inside an item
        {"07c0c0c0c0" + vendor, true},                 // a four-byte item
        {"fe0200aabb" + vendor + "fe0200aabb", true},  // long items
        {vendor + "fe0200aa", false},                  // a long item cut short
        {vendor + "fe0000", true},                     // an empty one
        {vendor + "fe0500aa", false},                  // cut long item
        {"b4" + vendor, false},                        // pop with nothing pushed
        {"a4a4a4a4a4a4a4a4a4" + vendor, false},        // pushed too deep
        {"", false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> descriptor;
        for (size_t i = 0; i + 1 < c.descriptor.size(); i += 2)
            descriptor.push_back(
                static_cast<uint8_t>(std::stoi(c.descriptor.substr(i, 2), nullptr, 16)));
        EXPECT_EQ(c.has_report,
                  descriptor_has_feature_report(descriptor.data(), descriptor.size(), 1, 9))
            << c.descriptor;
    }
}

}  // namespace
