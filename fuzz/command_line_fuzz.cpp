// Fuzzes the command-line parser. The input is split at NUL and newline
// bytes into arguments after the program name; each argument lives in a heap
// block of its own size, so reading past its end is caught.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "cli/command_line.h"
#include "fuzz_support.h"
#include "keys/key_names.h"

namespace {

struct Expected {
    Command command;
    ChannelAssignment list[CHANNEL_COUNT];
};

// The fields of an argument: the text between commas, empty fields dropped.
std::vector<std::vector<char>> comma_fields(const char* argument) {
    std::vector<std::vector<char>> fields;
    std::vector<char> field;
    for (const char* p = argument;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!field.empty()) {
                field.push_back('\0');
                fields.push_back(field);
                field.clear();
            }
            if (*p == '\0') break;
        } else {
            field.push_back(*p);
        }
    }
    return fields;
}

// What the command line must give: "-r" reads whatever follows; "-s" takes
// one VALUE (key field, optional modifier field, further fields ignored) per
// argument that has a field, at most four; anything else, an unacceptable
// token among the first four VALUEs, or no VALUE at all is usage.
Expected expected_parse(const std::vector<char*>& argv) {
    Expected expected;
    memset(expected.list, 0xFF, sizeof expected.list);
    expected.command = COMMAND_USAGE;
    if (argv.size() < 2) return expected;
    if (strcmp(argv[1], "-r") == 0) {
        expected.command = COMMAND_READ;
        return expected;
    }
    if (strcmp(argv[1], "-s") != 0) return expected;
    int filled = 0;
    for (size_t arg = 2; arg < argv.size() && filled < CHANNEL_COUNT; ++arg) {
        const std::vector<std::vector<char>> fields = comma_fields(argv[arg]);
        if (fields.empty()) continue;
        const uint8_t key = expected_token_code(fields[0].data(), key_name_table);
        const uint8_t modifier =
            fields.size() > 1 ? expected_token_code(fields[1].data(), modifier_name_table) : 0;
        if (key == CODE_NONE || modifier == CODE_NONE) return expected;
        expected.list[filled].key = key;
        expected.list[filled].modifier = modifier;
        ++filled;
    }
    if (filled > 0) expected.command = COMMAND_SET;
    return expected;
}

char* copy_argument(const uint8_t* start, size_t length) {
    char* argument = static_cast<char*>(malloc(length + 1));
    memcpy(argument, start, length);
    argument[length] = '\0';
    return argument;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char program_name[] = "trelkey";
    std::vector<char*> argv = {program_name};
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\0' || data[i] == '\n') {
            // Input that ends in a separator has no empty argument after it.
            if (i < size || start < size) argv.push_back(copy_argument(data + start, i - start));
            start = i + 1;
        }
    }

    clear_assignment_list();
    const Command command = parse_command_line(static_cast<int>(argv.size()), argv.data());
    const Expected expected = expected_parse(argv);

    fuzz_require(command == expected.command, "command differs from the grammar's");
    if (command == COMMAND_SET) {
        // Filled entries first, no gap, then every byte of the rest 0xFF.
        int filled = 0;
        while (filled < CHANNEL_COUNT && assignment_list[filled].key != CODE_NONE) ++filled;
        fuzz_require(filled >= 1 && filled <= CHANNEL_COUNT, "set with no assignment");
        for (int i = filled; i < CHANNEL_COUNT; ++i) {
            fuzz_require(
                assignment_list[i].key == CODE_NONE && assignment_list[i].modifier == CODE_NONE,
                "entry after the filled ones is not 0xFF");
        }
        fuzz_require(memcmp(assignment_list, expected.list, sizeof expected.list) == 0,
                     "assignment differs from the arguments' fields");
    }
    if (command == COMMAND_READ) {
        for (const ChannelAssignment& entry : assignment_list) {
            fuzz_require(entry.key == CODE_NONE && entry.modifier == CODE_NONE,
                         "read changed the assignment list");
        }
    }
    for (size_t i = 1; i < argv.size(); ++i) free(argv[i]);
    return 0;
}
