// Fuzzes the configuration listing with any 9-byte report (the first nine
// input bytes). Standard output goes to an unlinked temporary file, which is
// read back after each listing and checked line by line.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/config_report.h"
#include "fuzz_support.h"
#include "keys/key_names.h"

namespace {

const std::string RULE(52, '-');

void capture_stdout() {
    char path[] = "/tmp/trelkey_listing_XXXXXX";
    const int descriptor = mkstemp(path);
    fuzz_require(descriptor >= 0, "no temporary file for the listing");
    fuzz_require(freopen(path, "w+", stdout) != nullptr, "stdout not redirected");
    unlink(path);
    close(descriptor);
}

std::string listing_of(const ConfigReport& report) {
    rewind(stdout);
    fuzz_require(ftruncate(fileno(stdout), 0) == 0, "captured listing not emptied");
    print_config_listing(report);
    fflush(stdout);
    const long length = ftell(stdout);
    std::string text(static_cast<size_t>(length), '\0');
    const ssize_t got = pread(fileno(stdout), text.data(), text.size(), 0);
    fuzz_require(got == length, "captured listing not read back");
    return text;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    fuzz_require(start == text.size(), "listing does not end with a newline");
    return lines;
}

// " Ch-N   " then the key's text left-aligned in 15 columns, then the
// modifier's text, none for 0x00 and 0xFF.
std::string expected_row(int channel, uint8_t modifier, uint8_t key) {
    std::string row = " Ch-" + std::to_string(channel) + "   ";
    std::string key_text = expected_display_text(key, key_name_table);
    key_text.resize(key_text.size() < 15 ? 15 : key_text.size(), ' ');
    row += key_text;
    if (modifier != 0x00 && modifier != 0xFF) {
        row += expected_display_text(modifier, modifier_name_table);
    }
    return row;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool captured = false;
    if (!captured) {
        capture_stdout();
        captured = true;
    }
    if (size < CONFIG_REPORT_LENGTH) return 0;
    ConfigReport report;
    memcpy(report.bytes, data, CONFIG_REPORT_LENGTH);

    const std::vector<std::string> lines = lines_of(listing_of(report));

    int rows = 0;
    while (rows < CHANNEL_COUNT && report.bytes[2 * rows + 2] != 0xFF) ++rows;
    fuzz_require(lines.size() == 4 + static_cast<size_t>(rows) + 2,
                 "listing has other than 4 + rows + 2 lines");
    fuzz_require(lines[0] == "Current Configuration " && lines[1] == RULE &&
                     lines[2] == "  Ch    Key            Modified Key" && lines[3] == RULE,
                 "listing heading");
    for (int row = 0; row < rows; ++row) {
        fuzz_require(lines[4 + row] == expected_row(row + 1, report.bytes[2 * row + 1],
                                                    report.bytes[2 * row + 2]),
                     "listing row");
    }
    fuzz_require(lines[4 + rows] == RULE && lines[5 + rows].empty(), "listing closing lines");
    return 0;
}
