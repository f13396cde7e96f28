# Checks how the identity settings are read: the spellings a USB ID may take,
# texts as the program's C literal and as man page text, and the values that
# stop the configuration with an error naming the setting.
#   cmake -DMODULE=cmake/TrelkeyIdentity.cmake -P identity_settings_test.cmake
# Each value is converted by a child run of this script (-DKIND=id|text
# -DVALUE=...), so that a refusal shows as its exit status and message; the
# setting is named as its kind.
cmake_minimum_required(VERSION 3.25)
include("${MODULE}")
if(KIND STREQUAL id)
  trelkey_usb_id(result id "${VALUE}")
elseif(KIND STREQUAL text)
  trelkey_identity_text(result roff text "${VALUE}")
endif()
if(DEFINED KIND)
  message("${result} ${roff}")
  return()
endif()

# check(<kind> <value> <expected result>): converted to the result.
# check(<kind> <value> REFUSED <reason>): refused, the message naming the
# setting, quoting the value and starting with the reason.
function(check kind value expected)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DMODULE=${MODULE} -DKIND=${kind} "-DVALUE=${value}"
                          -P "${CMAKE_CURRENT_LIST_FILE}" ERROR_VARIABLE got RESULT_VARIABLE status)
  # On one line, as CMake wraps a long message; a refusal as its message alone.
  string(REGEX REPLACE "[ \n]+" " " got "${got}(exit ${status})")
  string(REGEX REPLACE "^CMake Error at [^ ]+ \\(message\\): (.*) Call Stack .*" "refused: \\1" got "${got}")
  if(expected STREQUAL REFUSED)
    set(expected "refused: ${kind}: '${value}' ${ARGV3}")
  else()
    set(expected "${expected} (exit 0)")
  endif()
  string(FIND "${got}" "${expected}" found)
  if(NOT found EQUAL 0)
    message(SEND_ERROR "FAIL ${kind} '${value}'\n  got:      ${got}\n  expected: ${expected}")
  endif()
endfunction()

# USB IDs: decimal (leading zeros too, never octal) or 0x hexadecimal, 0 to
# 0xFFFF, given as four upper-case hex digits, zero-padded.
check(id "0Xabcd" "ABCD")
check(id "65535" "FFFF")
check(id "000000000010" "000A")
foreach(bad "65536" "0x10000" "0x" "1+1" "-1" "" "0x1g" "99999999999999999999")
  check(id "${bad}" REFUSED "is not a USB ID: give 0 to 65535, in decimal or as 0x hexadecimal")
endforeach()

# Texts: the C literal holds the Latin-1 bytes, every byte above 0x7E as a \x
# escape that ends its literal; the roff text follows after a space.
check(text "Ä1ÿ" [=["\xC4" "1\xFF" \[u00C4]1\[u00FF]]=])
check(text [[a"b\c?]] [["a\"b\\c\?" a"b\ec?]])
check(text [[.x-y'`^~]] [[".x-y'`^~" \&.x\-y\(aq\(ga\(ha\(ti]])
check(text "" [[""]])
set(could_never_match "so it could never match: the device's text is narrowed to 8 bits")
check(text "5 €" REFUSED "holds U+20AC, ${could_never_match}")
check(text "😀" REFUSED "holds U+1F600, ${could_never_match}")
string(ASCII 9 tab)
check(text "a${tab}b" REFUSED "holds the control character U+0009:")
# Malformed UTF-8: a lone lead byte, a lone continuation byte, 'A' and 'ü' in
# overlong forms, an encoded surrogate and a value past U+10FFFF.
foreach(bytes "195" "77;188" "193;129" "224;131;188" "240;128;131;188" "237;160;128"
              "244;144;128;128")
  string(ASCII ${bytes} malformed)
  check(text "${malformed}" REFUSED "is not valid UTF-8")
endforeach()
