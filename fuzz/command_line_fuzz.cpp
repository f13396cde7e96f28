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
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments = {"trelkey"};
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\0', start), text.size());
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv;
    argv.reserve(arguments.size());
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
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
