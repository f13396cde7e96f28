#include "config/commands.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <thread>

#include "config/config_report.h"
#include "hid/hid_device.h"
#include "hid/identity.h"

// The search tells the unit by the report the commands exchange.
static_assert(CONFIG_REPORT_ID == DEVICE_REPORT_ID && CONFIG_REPORT_LENGTH == DEVICE_REPORT_LENGTH,
              "the unit is found by its configuration report");

namespace {

// How long firmware may take to store a report before it answers with it.
constexpr std::chrono::milliseconds STORE_TIME(100);

// Reports a refused request on standard error: its fixed line, then, when
// the platform gave a reason, a line naming the device and the reason, so
// that for example an unplugged unit is told from one that stalls.
void report_device_error(const char* first, const DeviceFailure& failure) {
    write_text_line(stderr, first);
    if (failure.reason[0] == '\0') return;
    char line[sizeof failure.path + sizeof failure.reason + 16];
    snprintf(line, sizeof line, "trelkey: %s: %s", failure.path, failure.reason);
    write_text_line(stderr, line);
}

// Fetches the report the unit holds into report, whose every byte is defined
// before the request: the report ID, then every channel unassigned.
bool fetch_report(DeviceHandle device, ConfigReport* report, DeviceFailure* failure) {
    *report = empty_config_report();
    return hid_get_feature(device, report->bytes, CONFIG_REPORT_LENGTH, failure);
}

bool same_report(const ConfigReport& a, const ConfigReport& b) {
    return memcmp(a.bytes, b.bytes, CONFIG_REPORT_LENGTH) == 0;
}

// A report's bytes in hex, separated by blanks.
struct ReportText {
    char text[3 * CONFIG_REPORT_LENGTH + 1];
};

ReportText report_text(const ConfigReport& report) {
    ReportText shown;
    for (int i = 0; i < CONFIG_REPORT_LENGTH; ++i) {
        snprintf(shown.text + 3 * i, 4, "%02x ", report.bytes[i]);
    }
    shown.text[3 * CONFIG_REPORT_LENGTH - 1] = '\0';  // no blank after the last
    return shown;
}

}  // namespace

bool read_configuration(const UnitSelection& selection) {
    OpenedUnit unit;
    if (!open_unit(selection, &unit)) return false;
    const DeviceHandle device = unit.device;
    DeviceFailure failure = {};
    snprintf(failure.path, sizeof failure.path, "%s", unit.node);
    ConfigReport report;
    const bool fetched = fetch_report(device, &report, &failure);
    close_device(device);
    if (fetched) {
        print_config_listing(report, stdout);
    } else {
        report_device_error("Device read error. ", failure);
    }
    note_unit_choice(unit);
    return fetched;
}

bool set_configuration(const ChannelAssignment* assignments, const UnitSelection& selection) {
    OpenedUnit unit;
    if (!open_unit(selection, &unit)) return false;
    const DeviceHandle device = unit.device;
    DeviceFailure failure = {};
    snprintf(failure.path, sizeof failure.path, "%s", unit.node);
    // A kept channel's bytes come from the report the unit holds, read in
    // the same open.
    ConfigReport held = empty_config_report();
    const bool read = !keeps_a_channel(assignments) || fetch_report(device, &held, &failure);
    const ConfigReport wanted = build_config_report(assignments, held);
    ConfigReport report = wanted;  // the platforms' call takes it as writable
    // The write is done when the unit holds what was sent. Firmware may
    // store it before it answers: a report that differs is read once more
    // after a while.
    bool done = read && hid_set_feature(device, report.bytes, CONFIG_REPORT_LENGTH, &failure) &&
                fetch_report(device, &held, &failure);
    if (done && !same_report(held, wanted)) {
        std::this_thread::sleep_for(STORE_TIME);
        done = fetch_report(device, &held, &failure);
    }
    close_device(device);
    const bool kept = done && same_report(held, wanted);
    if (kept) {
        printf("Success to setup configuration.\n");
    } else if (!read) {
        report_device_error("Device read error. ", failure);
    } else if (!done) {
        report_device_error("Device write error. ", failure);
    } else {
        write_text_line(stderr, "Device write error. ");
        char line[sizeof failure.path + 128];
        snprintf(line, sizeof line, "trelkey: %s: the unit holds %s after the write, not %s",
                 failure.path, report_text(held).text, report_text(wanted).text);
        write_text_line(stderr, line);
    }
    note_unit_choice(unit);
    return kept;
}
