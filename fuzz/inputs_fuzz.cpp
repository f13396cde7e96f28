// What a user or a device controls, chosen by the first input byte: a
// device's report descriptor, its texts as UTF-8 from sysfs or as UTF-16
// from hid.dll; or the command line, split into arguments at NUL bytes, whose
// set command's report is built and listed, and a report made of the bytes,
// as a device might return it, listed.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "config/config_report.h"
#include "hid/identity.h"
#include "hid/linux/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* const SINK = fopen("/dev/null", "w");
    if (size == 0 || SINK == nullptr) return 0;
    const std::vector<uint8_t> bytes(data + 1, data + size);  // exactly sized, for ASan
    const std::string utf8(bytes.begin(), bytes.end());
    unsigned char text[DEVICE_TEXT_SIZE];
    ConfigReport report = {};
    switch (data[0] % 4) {
        case 0: descriptor_only_keyboards_and_mice(bytes.data(), bytes.size()); break;
        case 1:
            narrow_utf8_string(utf8.c_str(), text);
            // Never longer than the UTF-8 bytes, nor than 256 units.
            if (strlen(reinterpret_cast<char*>(text)) > std::min<size_t>(strlen(utf8.c_str()), 256))
                abort();
            break;
        case 2:
            memset(text, 'x', sizeof text);
            memcpy(text, data + 1, std::min(size - 1, sizeof text));
            narrow_wide_string(text);
            if (strnlen(reinterpret_cast<char*>(text), sizeof text) > 256) abort();
            break;
        default: {
            std::vector<const char*> argv = {"trelkey", utf8.c_str()};
            for (size_t i = 0; i < utf8.size(); i++)
                if (utf8[i] == '\0') argv.push_back(utf8.c_str() + i + 1);
            clear_assignment_list();
            if (parse_command_line(static_cast<int>(argv.size()), argv.data()) == COMMAND_SET) {
                report = build_config_report(assignment_list);
                if (report.bytes[0] != 1 || report.bytes[2] == 0xFF) abort();
                print_config_listing(report, SINK);
            }
            memcpy(report.bytes, data + 1, std::min(size - 1, sizeof report.bytes));
            print_config_listing(report, SINK);
        }
    }
    return 0;
}
