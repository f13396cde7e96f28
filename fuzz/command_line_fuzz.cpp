// The command line, the one input every user controls: the fuzzer's bytes,
// split at NULs into the arguments after the program's name, are parsed, and
// a set command's report is built from the assignments. Each argument is a
// buffer of its own, exactly sized, so that AddressSanitizer sees a read past
// its end; UndefinedBehaviorSanitizer sees an index past an array in a record.
#include <stdint.h>

#include <vector>

#include "cli/command_line.h"
#include "config/config_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::vector<char>> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(static_cast<char>(data[i]));
    }
    std::vector<const char*> argv = {"trelkey"};
    for (std::vector<char>& argument : arguments) {
        argument.push_back('\0');
        argv.push_back(argument.data());
    }
    clear_assignment_list();
    if (parse_command_line(static_cast<int>(argv.size()), argv.data()) == COMMAND_SET) {
        build_config_report(assignment_list);
    }
    return 0;
}
