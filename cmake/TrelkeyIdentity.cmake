# The device identity settings: each value is checked and converted here, once,
# and every generated file (the program's source, the udev rule, the man page,
# the Windows README) takes the converted form.

# trelkey_usb_id(<out> <variable> <value>)
# Sets <out> to the USB ID <value> as four upper-case hex digits without 0x.
# Decimal is digits only (leading zeros allowed, still decimal); hexadecimal
# is 0x or 0X and hex digits. Anything else, or a value above 0xFFFF, stops
# the configuration with an error naming <variable>.
function(trelkey_usb_id out variable value)
  # Leading zeros dropped and at most four hex or five decimal digits kept,
  # so that math() reads no octal and cannot overflow.
  set(number 65536)
  if(value MATCHES "^0[xX]0*([0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f])$")
    math(EXPR number "0x${CMAKE_MATCH_1}")
  elseif(value MATCHES "^0*([0-9]?[0-9]?[0-9]?[0-9]?[0-9])$")
    math(EXPR number "${CMAKE_MATCH_1}")
  endif()
  if(number GREATER 65535)
    message(FATAL_ERROR "${variable}: '${value}' is not a USB ID: give 0 to 65535, "
                        "in decimal or as 0x hexadecimal")
  endif()
  math(EXPR hex "${number} + 65536" OUTPUT_FORMAT HEXADECIMAL)
  # 0x1XXXX: the four digits after the leading 1 are the zero-padded value.
  string(SUBSTRING "${hex}" 3 4 hex)
  string(TOUPPER "${hex}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# trelkey_identity_text(<out_c_literal> <out_roff> <variable> <value>)
# The program narrows the device's UTF-16 text to 8 bits (a unit above 0xFF
# becomes '?') and compares the bytes with its own, so the text <value>
# (UTF-8) is turned into its Latin-1 bytes:
#   <out_c_literal>  a C string literal of them, quotes included, with every
#                    byte above 0x7E as a \x escape (the compiler's source
#                    character set plays no part);
#   <out_roff>       the text for running text of a man page.
# A character above U+00FF, malformed UTF-8 and control characters stop the
# configuration with an error naming <variable>.
function(trelkey_identity_text out_c out_roff variable value)
  string(HEX "${value}" hex)
  string(LENGTH "${hex}" hex_length)
  set(c_literal "")
  set(roff "")
  set(index 0)
  while(index LESS hex_length)
    # One character: its lead byte gives the number of continuation bytes.
    math(EXPR position "${index} / 2 + 1")
    string(SUBSTRING "${hex}" ${index} 2 byte)
    math(EXPR index "${index} + 2")
    math(EXPR code "0x${byte}")
    set(malformed FALSE)
    if(code LESS 0x80)
      set(more 0)
    elseif(code GREATER_EQUAL 0xC2 AND code LESS_EQUAL 0xDF)
      math(EXPR code "${code} & 0x1F")
      set(more 1)
    elseif(code GREATER_EQUAL 0xE0 AND code LESS_EQUAL 0xEF)
      math(EXPR code "${code} & 0x0F")
      set(more 2)
    elseif(code GREATER_EQUAL 0xF0 AND code LESS_EQUAL 0xF4)
      math(EXPR code "${code} & 0x07")
      set(more 3)
    else()
      set(malformed TRUE)
      set(more 0)
    endif()
    set(continuations ${more})
    while(more GREATER 0 AND NOT malformed)
      string(SUBSTRING "${hex}" ${index} 2 byte)
      math(EXPR index "${index} + 2")
      math(EXPR more "${more} - 1")
      if(byte MATCHES "^[89ab][0-9a-f]$")
        math(EXPR code "(${code} << 6) | (0x${byte} & 0x3F)")
      else()
        set(malformed TRUE)
      endif()
    endwhile()
    # Overlong forms, UTF-16 surrogates and values past U+10FFFF.
    if(malformed OR (continuations EQUAL 2 AND code LESS 0x800)
       OR (continuations EQUAL 3 AND code LESS 0x10000)
       OR (code GREATER_EQUAL 0xD800 AND code LESS_EQUAL 0xDFFF) OR code GREATER 0x10FFFF)
      message(FATAL_ERROR "${variable}: '${value}' is not valid UTF-8 at byte "
                        "${position}: the text is read as UTF-8 to give the 8-bit "
                        "characters that the device's text is compared with")
    endif()
    math(EXPR code_hex "${code} + 0x1000000" OUTPUT_FORMAT HEXADECIMAL)
    # 0x1XXXXXX: the code point's six digits, then at least four of them kept.
    string(SUBSTRING "${code_hex}" 3 6 code_hex)
    string(REGEX MATCH "^0?0?(....+)$" code_hex "${code_hex}")
    string(TOUPPER "${CMAKE_MATCH_1}" code_hex)
    if(code GREATER 0xFF)
      message(FATAL_ERROR "${variable}: '${value}' holds U+${code_hex}, so it could never "
                          "match: the device's text is narrowed to 8 bits, and a character "
                          "above U+00FF always arrives as '?'")
    endif()
    if(code LESS 0x20 OR (code GREATER_EQUAL 0x7F AND code LESS 0xA0))
      message(FATAL_ERROR "${variable}: '${value}' holds the control character "
                          "U+${code_hex}: device names hold none, and the man page and README "
                          "could not show it")
    endif()
    if(code GREATER_EQUAL 0xA0)
      string(SUBSTRING "${code_hex}" 2 2 latin1)
      # A hex escape takes every hex digit after it, so the literal ends here.
      string(APPEND c_literal "\\x${latin1}\" \"")
      string(APPEND roff "\\[u${code_hex}]")
    else()
      string(ASCII ${code} char)
      # '?' too: "??" starts a trigraph for a compiler of an older standard.
      string(REGEX REPLACE "^([\"\\\\?])$" "\\\\\\1" c_char "${char}")
      # Characters groff prints as typographic ones, and its escape character.
      string(REPLACE "\\" "\\e" roff_char "${char}")
      string(REPLACE "-" "\\-" roff_char "${roff_char}")
      string(REPLACE "'" "\\(aq" roff_char "${roff_char}")
      string(REPLACE "`" "\\(ga" roff_char "${roff_char}")
      string(REPLACE "^" "\\(ha" roff_char "${roff_char}")
      string(REPLACE "~" "\\(ti" roff_char "${roff_char}")
      string(APPEND c_literal "${c_char}")
      string(APPEND roff "${roff_char}")
    endif()
  endwhile()
  string(REGEX REPLACE "\" \"$" "" c_literal "${c_literal}")
  # A leading '.' would make the line a request (a "'" is escaped already).
  if(roff MATCHES "^[.]")
    set(roff "\\&${roff}")
  endif()
  set(${out_c} "\"${c_literal}\"" PARENT_SCOPE)
  set(${out_roff} "${roff}" PARENT_SCOPE)
endfunction()

# trelkey_add_identity(<target> VENDOR_ID <id> PRODUCT_ID <id>
#                      MANUFACTURER <text> PRODUCT <text>)
# Creates a static library <target> that defines the device identity a
# trelkey program searches for.
function(trelkey_add_identity target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "VENDOR_ID;PRODUCT_ID;MANUFACTURER;PRODUCT" "")
  foreach(id VENDOR_ID PRODUCT_ID)
    trelkey_usb_id(hex "${target} ${id}" "${ARG_${id}}")
    set(IDENTITY_${id} "0x${hex}")
  endforeach()
  foreach(text MANUFACTURER PRODUCT)
    trelkey_identity_text(IDENTITY_${text} roff "${target} ${text}" "${ARG_${text}}")
  endforeach()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}/device_identity.cpp")
  configure_file("${PROJECT_SOURCE_DIR}/src/hid/device_identity.cpp.in" "${source}" @ONLY)
  add_library(${target} STATIC "${source}")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/src")
endfunction()
