#!/usr/bin/env bash
# Runs a test command for CTest and passes its exit status on. ctest shows
# nothing of a skipped test's output (exit 77), not even with
# --output-on-failure, so the command's "skipped: REASON" line is repeated as
# a CTest label: ctest lists labels, with their test counts, after the
# results.
#   run-test.sh COMMAND [ARGUMENT...]
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ "$status" = 77 ] && echo "<CTestLabel>$(grep -m 1 '^skipped' "$log" || echo skipped)</CTestLabel>"
exit "$status"
