#include "config/config_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<int>;

Bytes report_bytes(const ConfigReport& report) {
    return Bytes(report.bytes, report.bytes + CONFIG_REPORT_LENGTH);
}

struct BuildCase {
    std::vector<ChannelAssignment> assignments;  // the rest of the list is 0xFF
    Bytes expected;
};

const BuildCase BUILD_CASES[] = {
    {{}, {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    {{{0x3E, 0x00}}, {0x01, 0x00, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    {{{0x15, 0x01}, {0x0F, 0x22}}, {0x01, 0x01, 0x15, 0x22, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF}},
    {{{0x0F, 0x02}, {0x15, 0x02}, {0x3E, 0x00}, {0x3F, 0x00}},
     {0x01, 0x02, 0x0F, 0x02, 0x15, 0x00, 0x3E, 0x00, 0x3F}},
    // An unassigned entry ends the list, whatever follows it.
    {{{0x04, 0x00}, {0xFF, 0x01}, {0x05, 0x02}},
     {0x01, 0x00, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
};

TEST(BuildConfigReport, ModifierThenKeyPerChannel) {
    for (const BuildCase& c : BUILD_CASES) {
        ChannelAssignment list[CHANNEL_COUNT];
        memset(list, 0xFF, sizeof list);
        for (size_t i = 0; i < c.assignments.size(); ++i) list[i] = c.assignments[i];
        EXPECT_EQ(report_bytes(build_config_report(list)), c.expected)
            << c.assignments.size() << " assignments";
    }
}

const std::string RULE(52, '-');
const std::string HEAD =
    "Current Configuration \n" + RULE + "\n  Ch    Key            Modified Key\n" + RULE + "\n";
const std::string TAIL = RULE + "\n\n";

struct ListingCase {
    Bytes report;
    std::string rows;
};

const ListingCase LISTING_CASES[] = {
    {{0x01, 0x00, 0x3E, 0x01, 0x15, 0xFF, 0xFF, 0xFF, 0xFF},
     " Ch-1   KEY_F5         \n"
     " Ch-2   KEY_R          CTRL_LEFT\n"},
    {{0x01, 0x00, 0x3E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, " Ch-1   KEY_F5         \n"},
    {{0x01, 0x00, 0xFF, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06}, ""},
    // Channel 3 unassigned: channel 4 is not shown.
    {{0x01, 0x02, 0x04, 0x20, 0x05, 0x00, 0xFF, 0x40, 0x06},
     " Ch-1   KEY_A          SHIFT_LEFT\n"
     " Ch-2   KEY_B          SHIFT_RIGHT\n"},
    // Unnamed codes as signed decimals; 0x00 and 0xFF modifiers show nothing.
    {{0x01, 0x03, 0x28, 0x08, 0x00, 0xFF, 0xC8, 0x80, 0x45},
     " Ch-1   (40)           (3)\n"
     " Ch-2   (0)            (8)\n"
     " Ch-3   (-56)          \n"
     " Ch-4   KEY_F12        (-128)\n"},
    // The report ID byte is not examined.
    {{0x07, 0x10, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, " Ch-1   KEY_0          CTRL_RIGHT\n"},
};

TEST(PrintConfigListing, ExactBytes) {
    for (const ListingCase& c : LISTING_CASES) {
        ConfigReport report;
        for (int i = 0; i < CONFIG_REPORT_LENGTH; ++i)
            report.bytes[i] = static_cast<uint8_t>(c.report[i]);
        testing::internal::CaptureStdout();
        print_config_listing(report);
        fflush(stdout);
        std::string expected = HEAD;
        expected += c.rows;
        expected += TAIL;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    }
}

}  // namespace
