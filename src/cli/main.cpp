#include "cli/command_line.h"

int main(int argc, char** argv) { return run_trelkey(argc, argv); }
