#include "program_run.h"

#include <gtest/gtest.h>

#include "cli/command_line.h"

ProgramRun run_program(const std::vector<const char*>& argv) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ProgramRun run;
    run.status = run_trelkey(static_cast<int>(argv.size()), argv.data());
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    return run;
}
