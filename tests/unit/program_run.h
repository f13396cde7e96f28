// Runs the whole program in-process, as the command line would, and keeps
// what it wrote.
#ifndef TRELKEY_TESTS_UNIT_PROGRAM_RUN_H
#define TRELKEY_TESTS_UNIT_PROGRAM_RUN_H

#include <string>
#include <vector>

struct ProgramRun {
    int status;
    std::string out;
    std::string err;
};

// run_trelkey() with these arguments (argv[0] included), its standard output
// and standard error captured.
ProgramRun run_program(const std::vector<const char*>& argv);

#endif
