# Run by cpack once it has made the zip (CPACK_POST_BUILD_SCRIPTS). cpack adds
# the files in the order the file system lists them, which differs from one
# file system to another, and records their owner's user and group IDs; this
# makes the zip again with Info-ZIP's zip: its entries in name order, their
# times SOURCE_DATE_EPOCH (as cmake/TrelkeyCPackTime.cmake set it, with the
# time zone UTC), and -X: no extra fields, so no owner. The entries' modes
# are the ones install() gave (0644, the program 0755), whatever the umask.
if(CPACK_GENERATOR STREQUAL "ZIP")
  find_program(TRELKEY_ZIP zip)
  if(NOT TRELKEY_ZIP)
    message(FATAL_ERROR "Making the zip needs Info-ZIP's zip (Debian: apt-get install zip)")
  endif()
  get_filename_component(staging "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
  file(GLOB_RECURSE entries RELATIVE "${staging}" "${CPACK_TEMPORARY_DIRECTORY}/*")
  execute_process(COMMAND touch -d "@$ENV{SOURCE_DATE_EPOCH}" -- ${entries}
                  WORKING_DIRECTORY "${staging}" COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE "${CPACK_PACKAGE_FILES}")
  execute_process(COMMAND "${TRELKEY_ZIP}" -X -q "${CPACK_PACKAGE_FILES}" ${entries}
                  WORKING_DIRECTORY "${staging}" COMMAND_ERROR_IS_FATAL ANY)
endif()
