# The key and modifier names: src/keys/names.txt, one name a line, is read
# and checked here once, and everything that lists the names is made from it.

# trelkey_names(<file>)
# Writes the program's two name tables to generated/keys/name_tables.inc in
# the build tree, and sets, for the documents:
#   TRELKEY_KEY_NAMES, TRELKEY_MODIFIER_NAMES   the names, blank-separated
#   TRELKEY_KEY_NAMES_ROFF                      "NAME 0xnn," items for a man page
#   TRELKEY_MODIFIER_NAMES_ROFF                 a tagged list of names and bits
#   TRELKEY_KEY_NAMES_TEXT, TRELKEY_MODIFIER_NAMES_TEXT
#                                               the names, comma-separated, in
#                                               indented lines of plain text
#   TRELKEY_KEY_NAMES_JS, TRELKEY_MODIFIER_NAMES_JS
#                                               ["NAME", 0xnn] items of a
#                                               JavaScript array, for the page
# A line that is not a well-formed row, a name or code given twice in a
# table, or the code 0xFF (an unassigned channel) stops the configuration.
function(trelkey_names file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  file(STRINGS "${file}" lines REGEX "^[^#]")
  foreach(table key modifier)
    set(${table}_rows "")
    set(${table}_names "")
    set(${table}_codes "")
    set(${table}_roff "")
    set(${table}_text "")
    set(${table}_line " ")
    set(${table}_js "")
  endforeach()
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^(key|modifier) ([A-Z][A-Z0-9_]*) 0x([0-9A-F][0-9A-F])$"
       OR (CMAKE_MATCH_1 STREQUAL "key" AND NOT CMAKE_MATCH_2 MATCHES "^KEY_")
       OR CMAKE_MATCH_3 STREQUAL "FF")
      message(FATAL_ERROR "${file}: '${line}' is not 'key KEY_NAME 0xNN' or "
                          "'modifier NAME 0xNN' (upper-case hex digits, not 0xFF)")
    endif()
    set(table ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    string(TOLOWER "0x${CMAKE_MATCH_3}" code)
    if(name IN_LIST ${table}_names OR code IN_LIST ${table}_codes)
      message(FATAL_ERROR "${file}: '${line}': the ${table} name or code is given twice")
    endif()
    list(APPEND ${table}_names ${name})
    list(APPEND ${table}_codes ${code})
    string(APPEND ${table}_rows "    {\"${name}\", ${code}},\n")
    string(APPEND ${table}_js "[\"${name}\", ${code}],\n")
    if(table STREQUAL "key")
      string(APPEND key_roff "\\%\\fB${name}\\fR\\~${code},\n")
    else()
      string(APPEND modifier_roff ".TP 14\n.B ${name}\n${code}\n")
    endif()
    # Plain text: lines of at most 76 characters, each indented by two.
    string(LENGTH "${${table}_line} ${name}," length)
    if(length GREATER 76)
      string(APPEND ${table}_text "${${table}_line}\n")
      set(${table}_line " ")
    endif()
    string(APPEND ${table}_line " ${name},")
  endforeach()
  file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/generated/keys/name_tables.inc" CONTENT
"// Made by the build from src/keys/names.txt: the key names with their USB
// HID keyboard usage IDs, and the modifier names with their bits.
const NamedCode KEY_ROWS[] = {
${key_rows}};
const NamedCode MODIFIER_ROWS[] = {
${modifier_rows}};
")
  foreach(table key modifier)
    string(TOUPPER "${table}" upper)
    list(JOIN ${table}_names " " names)
    set(TRELKEY_${upper}_NAMES "${names}" PARENT_SCOPE)
    # The last item ends in a full stop, not a comma.
    string(REGEX REPLACE ",$" "." text "${${table}_text}${${table}_line}")
    set(TRELKEY_${upper}_NAMES_TEXT "${text}" PARENT_SCOPE)
    set(TRELKEY_${upper}_NAMES_JS "${${table}_js}" PARENT_SCOPE)
  endforeach()
  string(REGEX REPLACE ",\n$" "." key_roff "${key_roff}")
  set(TRELKEY_KEY_NAMES_ROFF "${key_roff}" PARENT_SCOPE)
  string(REGEX REPLACE "\n$" "" modifier_roff "${modifier_roff}")
  set(TRELKEY_MODIFIER_NAMES_ROFF "${modifier_roff}" PARENT_SCOPE)
endfunction()
