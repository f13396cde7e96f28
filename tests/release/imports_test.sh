#!/usr/bin/env bash
# Checks from its import table that a Windows executable needs only system
# DLLs, and names the ones it must import.
#   imports_test.sh OBJDUMP PROGRAM.exe
set -u
objdump=$1 program=$2
imports=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)
echo "imports: ${imports//$'\n'/ }"
status=0
for dll in $imports; do
    case $dll in
        kernel32.dll | setupapi.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
        *) echo "FAIL: imports $dll"; status=1 ;;
    esac
done
for dll in kernel32.dll setupapi.dll; do
    echo "$imports" | grep -qx "$dll" || { echo "FAIL: does not import $dll"; status=1; }
done
exit $status
