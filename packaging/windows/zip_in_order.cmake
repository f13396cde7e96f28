# Run by cpack once it has made the zip (CPACK_POST_BUILD_SCRIPTS). cpack adds
# the files in the order the file system lists them, which differs from one
# file system to another; this makes the zip again with its entries in name
# order. Their times are SOURCE_DATE_EPOCH, as cmake/TrelkeyCPackTime.cmake set.
if(CPACK_GENERATOR STREQUAL "ZIP")
  get_filename_component(staging "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
  file(GLOB_RECURSE entries RELATIVE "${staging}" "${CPACK_TEMPORARY_DIRECTORY}/*")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${CPACK_PACKAGE_FILES}" --format=zip -- ${entries}
                  WORKING_DIRECTORY "${staging}" COMMAND_ERROR_IS_FATAL ANY)
endif()
