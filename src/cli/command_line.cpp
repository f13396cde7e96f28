#include "cli/command_line.h"

#include <stdio.h>
#include <string.h>

#include "keys/key_names.h"

ChannelAssignment assignment_list[CHANNEL_COUNT];
const char* unit_location = nullptr;

namespace {

// Longest field the splitter hands on. Longer fields are refused: no key or
// modifier token is anywhere near this long.
constexpr size_t MAX_FIELD_LENGTH = 63;

struct Field {
    char text[MAX_FIELD_LENGTH + 1];
    bool too_long;
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
    *cursor = p;
    return true;
}

uint8_t field_code(const Field& field, const NameTable& table) {
    return field.too_long ? CODE_NONE : parse_code_token(field.text, table);
}

// Whether an argument is this option word, exactly. (The C library's strcmp
// would be bound at run time, which costs a start-up more than all the
// comparisons of a command line.)
bool is_word(const char* argument, const char* word) {
    while (*word != '\0' && *argument == *word) ++argument, ++word;
    return *argument == *word;
}

// The index of the "-d" that names the unit, argc when there is none, or -1
// when the command line may not name one: -d twice, or without a location
// (no argument after it, or another option).
int find_unit_selection(int argc, const char* const* argv) {
    int selection = argc;
    for (int arg = 1; arg < argc; ++arg) {
        if (!is_word(argv[arg], "-d")) continue;
        if (selection != argc || arg + 1 == argc || argv[arg + 1][0] == '-' ||
            argv[arg + 1][0] == '\0') {
            return -1;
        }
        selection = arg++;
    }
    return selection;
}

}  // namespace

void clear_assignment_list() { memset(assignment_list, 0xFF, sizeof assignment_list); }

Command parse_command_line(int argc, const char* const* argv) {
    unit_location = nullptr;
    if (argc == 2 && is_word(argv[1], "-l")) return COMMAND_LIST;
    if (argc == 2 && is_word(argv[1], "--version")) return COMMAND_VERSION;
    const int selection = find_unit_selection(argc, argv);
    if (selection < 0) return COMMAND_USAGE;
    // The arguments in order, the -d and its location left out.
    const auto next = [selection](int arg) { return arg == selection ? arg + 2 : arg; };

    const int option = next(1);
    if (option >= argc) return COMMAND_USAGE;
    if (selection < argc) unit_location = argv[selection + 1];
    if (is_word(argv[option], "-r")) return COMMAND_READ;
    if (!is_word(argv[option], "-s")) return COMMAND_USAGE;

    int filled = 0;
    for (int arg = next(option + 1); arg < argc && filled < CHANNEL_COUNT; arg = next(arg + 1)) {
        const char* cursor = argv[arg];
        Field key_field;
        if (!next_field(&cursor, &key_field)) continue;  // empty or commas only
        const uint8_t key = field_code(key_field, key_name_table);
        if (key == CODE_NONE) return COMMAND_USAGE;

        uint8_t modifier = 0;
        Field modifier_field;
        if (next_field(&cursor, &modifier_field)) {
            modifier = field_code(modifier_field, modifier_name_table);
            if (modifier == CODE_NONE) return COMMAND_USAGE;
        }
        // Fields after the modifier are not examined.
        assignment_list[filled].key = key;
        assignment_list[filled].modifier = modifier;
        ++filled;
    }
    return filled == 0 ? COMMAND_USAGE : COMMAND_SET;
}
