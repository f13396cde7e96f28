#include "cli/command_line.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "keys/key_names.h"

ChannelAssignment assignment_list[CHANNEL_COUNT];
const char* unit_location = nullptr;
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

// Whether an argument is this option word, exactly. (The C library's strcmp
// would be bound at run time, which costs a start-up more than all the
// comparisons of a command line.)
bool is_word(const char* argument, const char* word) {
    while (*word != '\0' && *argument == *word) ++argument, ++word;
    return *argument == *word;
}

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

// The index of the "-d" that names the unit, argc when there is none, or -1,
// with the refusal, when the command line may not name one: -d twice, or
// without a location (no argument after it, or another option).
int find_unit_selection(int argc, const char* const* argv) {
    int selection = argc;
    for (int arg = 1; arg < argc; ++arg) {
        if (!is_word(argv[arg], "-d")) continue;
        if (selection != argc) {
            refuse(argv[arg], "given twice: a command acts on one unit");
            return -1;
        }
        if (arg + 1 == argc || argv[arg + 1][0] == '-' || argv[arg + 1][0] == '\0') {
            refuse(argv[arg], "no location after it (trelkey -l lists them)");
            return -1;
        }
        selection = arg++;
    }
    return selection;
}

}  // namespace

void clear_assignment_list() {
    for (ChannelAssignment& entry : assignment_list) entry = {CODE_NONE, CODE_NONE, false};
}

Command parse_command_line(int argc, const char* const* argv) {
    unit_location = nullptr;
    command_line_refusal = {};
    if (argc < 2 || (argc == 2 && is_word(argv[1], "--help"))) return COMMAND_USAGE;
    const int selection = find_unit_selection(argc, argv);
    if (selection < 0) return COMMAND_USAGE;
    // The arguments in order, the -d and its location left out.
    const auto next = [selection](int arg) { return arg == selection ? arg + 2 : arg; };

    const int option = next(1);
    if (option >= argc) return refuse(argv[selection], "needs -r or -s");
    const char* word = argv[option];
    if (is_word(word, "-l") || is_word(word, "--version")) {
        if (argc > 2) return refuse(word, "takes no other argument");
        return is_word(word, "-l") ? COMMAND_LIST : COMMAND_VERSION;
    }
    if (selection < argc) unit_location = argv[selection + 1];
    if (is_word(word, "-r")) return COMMAND_READ;
    if (!is_word(word, "-s")) return refuse(word, "unknown option: give -r, -s, -l or --version");

    int filled = 0;
    for (int arg = next(option + 1); arg < argc; arg = next(arg + 1)) {
        if (filled == CHANNEL_COUNT) {
            return refuse(argv[arg], "more than four values: a unit has four channels at most");
        }
        if (!parse_value(argv[arg], &assignment_list[filled])) return COMMAND_USAGE;
        ++filled;
    }
    return filled == 0 ? refuse(word, "no value after it") : COMMAND_SET;
}
