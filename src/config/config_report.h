// The configuration feature report and its listing.
#ifndef TRELKEY_CONFIG_CONFIG_REPORT_H
#define TRELKEY_CONFIG_CONFIG_REPORT_H

#include <stdint.h>
#include <stdio.h>

#include "cli/command_line.h"

constexpr uint8_t CONFIG_REPORT_ID = 0x01;
constexpr int CONFIG_REPORT_LENGTH = 9;

// Byte 0 is the report ID; then, for channels 1 to 4, a modifier byte and a
// key byte. An unassigned channel holds 0xFF in both.
struct ConfigReport {
    uint8_t bytes[CONFIG_REPORT_LENGTH];
};

// A report with every channel unassigned.
ConfigReport empty_config_report();

// Encodes the assignment list; a kept channel takes its two bytes from held,
// the report the unit holds, and channels after the end of the list become
// unassigned.
ConfigReport build_config_report(const ChannelAssignment* assignments,
                                 const ConfigReport& held = empty_config_report());

// Whether the assignment list keeps a channel, so that the report the unit
// holds is needed to build the one to send.
bool keeps_a_channel(const ChannelAssignment* assignments);

// Writes the configuration listing of a report to out (the read command
// gives standard output): a row for each channel whose key is not 0xFF, with
// its own channel number.
void print_config_listing(const ConfigReport& report, FILE* out);

#endif
