#include "config/config_report.h"

#include <stdio.h>

#include "keys/key_names.h"

namespace {

const char* const RULE_LINE = "----------------------------------------------------";

}  // namespace

ConfigReport empty_config_report() {
    ConfigReport report;
    report.bytes[0] = CONFIG_REPORT_ID;
    for (int i = 1; i < CONFIG_REPORT_LENGTH; ++i) report.bytes[i] = CODE_NONE;
    return report;
}

ConfigReport build_config_report(const ChannelAssignment* assignments, const ConfigReport& held) {
    ConfigReport report = empty_config_report();
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        const ChannelAssignment& assignment = assignments[channel];
        if (assignment.keep) {
            report.bytes[2 * channel + 1] = held.bytes[2 * channel + 1];
            report.bytes[2 * channel + 2] = held.bytes[2 * channel + 2];
            continue;
        }
        if (assignment.key == CODE_NONE) break;
        report.bytes[2 * channel + 1] = assignment.modifier;
        report.bytes[2 * channel + 2] = assignment.key;
    }
    return report;
}

bool keeps_a_channel(const ChannelAssignment* assignments) {
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        if (assignments[channel].keep) return true;
        if (assignments[channel].key == CODE_NONE) return false;  // the end of the list
    }
    return false;
}

void print_config_listing(const ConfigReport& report, FILE* out) {
    fprintf(out, "Current Configuration \n%s\n  Ch    Key            Modified Key\n%s\n", RULE_LINE,
            RULE_LINE);
    for (int channel = 1; channel <= CHANNEL_COUNT; ++channel) {
        const uint8_t modifier = report.bytes[2 * channel - 1];
        const uint8_t key = report.bytes[2 * channel];
        if (key == CODE_NONE) continue;
        const DisplayText key_text = code_display_text(key, key_name_table);
        DisplayText modifier_text = {};
        if (modifier != 0x00 && modifier != CODE_NONE) {
            modifier_text = code_display_text(modifier, modifier_name_table);
        }
        // A key name of 15 characters or more still has a blank after it.
        fprintf(out, " Ch-%d   %-14s %s\n", channel, key_text.text, modifier_text.text);
    }
    fprintf(out, "%s\n\n", RULE_LINE);
}
