// What a user controls: the command line. The input is split into arguments
// at NUL bytes; a set command's report is built and listed, and so is a
// report made of the first 9 input bytes, as a device might return it.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "config/config_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* const SINK = fopen("/dev/null", "w");
    if (SINK == nullptr) return 0;
    // Each argument runs to the next NUL, the last to the string's own.
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<const char*> argv = {"trelkey", text.c_str()};
    for (size_t i = 0; i < size; i++) {
        if (text[i] == '\0') argv.push_back(text.c_str() + i + 1);
    }
    clear_assignment_list();
    if (parse_command_line(static_cast<int>(argv.size()), argv.data()) == COMMAND_SET) {
        const ConfigReport report = build_config_report(assignment_list);
        if (report.bytes[0] != 1 || report.bytes[2] == 0xFF) abort();
        print_config_listing(report, SINK);
    }
    ConfigReport device_report = {};
    if (size > 0) memcpy(device_report.bytes, data, std::min(size, sizeof device_report.bytes));
    print_config_listing(device_report, SINK);
    return 0;
}
