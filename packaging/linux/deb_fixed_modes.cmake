# Run by cpack once it has made the .deb (CPACK_POST_BUILD_SCRIPTS). cpack
# gives the .deb's three members (debian-binary, control.tar.gz, data.tar.gz)
# the modes their files have in the staging directory, which the builder's
# umask chose; this makes the .deb again, the same members in the same order,
# with ar in deterministic mode: each member mode 0644, owner 0 and time 0,
# whoever builds it.
if(CPACK_GENERATOR STREQUAL "DEB")
  execute_process(COMMAND "${CPACK_TRELKEY_AR}" t "${CPACK_PACKAGE_FILES}"
                  OUTPUT_VARIABLE members COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" members "${members}")
  string(REPLACE "\n" ";" members "${members}")
  file(REMOVE "${CPACK_PACKAGE_FILES}")
  execute_process(COMMAND "${CPACK_TRELKEY_AR}" rcDS "${CPACK_PACKAGE_FILES}" ${members}
                  WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}" COMMAND_ERROR_IS_FATAL ANY)
endif()
