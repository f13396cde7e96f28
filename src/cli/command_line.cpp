#include "cli/command_line.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "keys/key_names.h"

ChannelAssignment assignment_list[CHANNEL_COUNT];
UnitSelection unit_selection;
CommandLineRefusal command_line_refusal;

namespace {

// Longest field the splitter hands on. Longer fields are refused: no key or
// modifier token is anywhere near this long.
constexpr size_t MAX_FIELD_LENGTH = 63;

// A field of a value: its text, and where it stands in the argument, which a
// refusal quotes (cut to fit).
struct Field {
    char text[MAX_FIELD_LENGTH + 1];
    bool too_long;
    const char* start;
    int length;
};

// Copies the next comma-delimited field of *cursor into field and advances
// the cursor past it. Leading commas and runs of commas are one separator,
// so a field is never empty. False when no field is left.
bool next_field(const char** cursor, Field* field) {
    const char* p = *cursor;
    while (*p == ',') ++p;
    if (*p == '\0') {
        *cursor = p;
        return false;
    }
    const char* start = p;
    while (*p != '\0' && *p != ',') ++p;
    const size_t length = static_cast<size_t>(p - start);
    field->too_long = length > MAX_FIELD_LENGTH;
    const size_t copied = field->too_long ? 0 : length;
    memcpy(field->text, start, copied);
    field->text[copied] = '\0';
    field->start = start;
    field->length = static_cast<int>(field->too_long ? MAX_FIELD_LENGTH : length);
    *cursor = p;
    return true;
}

// Whether an argument is this option word, exactly.
bool is_word(const char* argument, const char* word) { return strcmp(argument, word) == 0; }

// Refuses the command line: the argument that is wrong and why.
Command refuse(const char* argument, const char* problem) {
    command_line_refusal.argument = argument;
    snprintf(command_line_refusal.problem, sizeof command_line_refusal.problem, "%s", problem);
    return COMMAND_USAGE;
}

// The code of a field, or CODE_NONE with the refusal of its argument.
uint8_t field_code(const char* argument, const Field& field, const NameTable& table,
                   const char* what) {
    const uint8_t code = field.too_long ? CODE_NONE : parse_code_token(field.text, table);
    if (code != CODE_NONE) return code;
    char problem[sizeof command_line_refusal.problem];
    if (field.length >= 2 && field.start[0] == '0' && field.start[1] == 'x') {
        snprintf(problem, sizeof problem,
                 "%.*s: a code is 0x and two hex digits, from 0x00 to 0xfe", field.length,
                 field.start);
    } else {
        snprintf(problem, sizeof problem, "%.*s is not a %s name", field.length, field.start, what);
    }
    refuse(argument, problem);
    return CODE_NONE;
}

// Parses one value, KEY[,MODIFIER...] or KEEP, into an assignment: every
// field after the key is a modifier, and the modifiers combine. False, with
// the refusal, when the value is empty or a field is not acceptable.
bool parse_value(const char* argument, ChannelAssignment* assignment) {
    const char* cursor = argument;
    Field field;
    if (!next_field(&cursor, &field)) {
        refuse(argument, "an empty value: give KEY or KEY,MODIFIER");
        return false;
    }
    if (strcasecmp(field.text, "KEEP") == 0) {
        if (next_field(&cursor, &field)) {
            refuse(argument, "KEEP takes no modifier: a kept channel keeps its modifiers");
            return false;
        }
        assignment->keep = true;
        return true;
    }
    const uint8_t key = field_code(argument, field, key_name_table, "key");
    if (key == CODE_NONE) return false;
    unsigned modifier = 0;
    while (next_field(&cursor, &field)) {
        const uint8_t bits = field_code(argument, field, modifier_name_table, "modifier");
        if (bits == CODE_NONE) return false;
        modifier |= bits;
    }
    if (modifier == CODE_NONE) {
        refuse(argument, "all eight modifiers at once: 0xff marks an unassigned channel");
        return false;
    }
    assignment->key = key;
    assignment->modifier = static_cast<uint8_t>(modifier);
    return true;
}

// Reads VID:PID as lsusb shows it, four hex digits each, in either case.
bool parse_usb_ids(const char* text, UnitSelection* selection) {
    if (strlen(text) != 9 || text[4] != ':') return false;
    unsigned ids[2] = {0, 0};
    for (int i = 0; i < 9; ++i) {
        if (i == 4) continue;
        const int value = hex_digit_value(text[i]);
        if (value < 0) return false;
        ids[i / 5] = ids[i / 5] * 16 + static_cast<unsigned>(value);
    }
    selection->by_ids = true;
    selection->vendor_id = static_cast<uint16_t>(ids[0]);
    selection->product_id = static_cast<uint16_t>(ids[1]);
    return true;
}

// Where -d LOCATION and -i VID:PID stand: the index of each option word, or
// argc when it is not given.
struct UnitOptions {
    int location;
    int ids;
};

// Finds -d and -i and fills unit_selection. False, with the refusal, when the
// command line may not name them so: given twice, or without what follows
// them (no argument after it, another option, or for -i no VID:PID).
bool find_unit_options(int argc, const char* const* argv, UnitOptions* options) {
    *options = {argc, argc};
    for (int arg = 1; arg < argc; ++arg) {
        const bool location = is_word(argv[arg], "-d");
        if (!location && !is_word(argv[arg], "-i")) continue;
        int& at = location ? options->location : options->ids;
        if (at != argc) {
            refuse(argv[arg], location ? "given twice: a command acts on one unit"
                                       : "given twice: give one VID:PID");
            return false;
        }
        if (arg + 1 == argc || argv[arg + 1][0] == '-' || argv[arg + 1][0] == '\0') {
            refuse(argv[arg], location
                                  ? "no location after it (trelkey -l lists them)"
                                  : "no VID:PID after it, such as 1209:4b53 (lsusb shows them)");
            return false;
        }
        if (!location && !parse_usb_ids(argv[arg + 1], &unit_selection)) {
            refuse(argv[arg + 1], "not a VID:PID: four hex digits each, such as 1209:4b53");
            return false;
        }
        at = arg++;
    }
    return true;
}

// The next argument from arg on, -d and -i left out with what follows them.
int next_argument(const UnitOptions& options, int arg) {
    while (arg == options.location || arg == options.ids) arg += 2;
    return arg;
}

// Parses the values after the -s at index option into the assignment list.
Command parse_values(int argc, const char* const* argv, const UnitOptions& options, int option) {
    int filled = 0;
    for (int arg = next_argument(options, option + 1); arg < argc;
         arg = next_argument(options, arg + 1)) {
        if (filled == CHANNEL_COUNT) {
            return refuse(argv[arg], "more than four values: a unit has four channels at most");
        }
        if (!parse_value(argv[arg], &assignment_list[filled])) return COMMAND_USAGE;
        ++filled;
    }
    return filled == 0 ? refuse(argv[option], "no value after it") : COMMAND_SET;
}

}  // namespace

void clear_assignment_list() {
    for (ChannelAssignment& entry : assignment_list) entry = {CODE_NONE, CODE_NONE, false};
}

Command parse_command_line(int argc, const char* const* argv) {
    unit_selection = {};
    command_line_refusal = {};
    if (argc < 2 || (argc == 2 && is_word(argv[1], "--help"))) return COMMAND_USAGE;
    UnitOptions options;
    if (!find_unit_options(argc, argv, &options)) return COMMAND_USAGE;
    const int option = next_argument(options, 1);
    if (option >= argc) {
        if (options.location < options.ids) return refuse(argv[options.location], "needs -r or -s");
        return refuse(argv[options.ids], "needs -r, -s or -l");
    }
    const char* word = argv[option];
    const bool list = is_word(word, "-l");
    if (list || is_word(word, "--version")) {
        // -l takes -i, and nothing else; --version nothing at all.
        const int ids = list && options.ids < argc ? 2 : 0;
        if (argc - 2 - ids > 0) return refuse(word, "takes no other argument");
        return list ? COMMAND_LIST : COMMAND_VERSION;
    }
    if (options.location < argc) unit_selection.location = argv[options.location + 1];
    if (is_word(word, "-r")) return COMMAND_READ;
    if (!is_word(word, "-s")) return refuse(word, "unknown option: give -r, -s, -l or --version");
    return parse_values(argc, argv, options, option);
}
