#include "config/commands.h"

#include <stdio.h>

#include "config/config_report.h"
#include "hid/discovery.h"
#include "hid/hid_library.h"

namespace {

void print_error_line(const char* text) { fprintf(stderr, "%s\n", text); }

}  // namespace

bool read_configuration() {
    HANDLE device = open_trigger_device();
    if (device == INVALID_HANDLE_VALUE) {
        print_error_line("Device open error. ");
        return false;
    }
    // The whole buffer is defined before the request: report ID, then every
    // channel unassigned.
    ConfigReport report = empty_config_report();

    const BOOLEAN fetched = hid_get_feature(device, report.bytes, CONFIG_REPORT_LENGTH);
    CloseHandle(device);
    if (!fetched) {
        print_error_line("Device read error. ");
        return false;
    }
    print_config_listing(report);
    return true;
}

bool set_configuration(const ChannelAssignment* assignments) {
    ConfigReport report = build_config_report(assignments);
    HANDLE device = open_trigger_device();
    if (device == INVALID_HANDLE_VALUE) {
        print_error_line("Device open error. ");
        return false;
    }
    const BOOLEAN sent = hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH);
    CloseHandle(device);
    if (!sent) {
        print_error_line("Device write error. ");
        return false;
    }
    printf("Success to setup configuration.\n");
    return true;
}
