# Installation and packages of the trelkey program.
#   Linux:   bin/trelkey, the man page, the bash completion and a udev rule
#            for the device's hidraw nodes; packaged as a .deb.
#   Windows: trelkey.exe, carrying a version resource and an application
#            manifest, and a text README; packaged as a .zip.
#   Both:    the configuration page, trelkey.html (share/trelkey on Linux,
#            beside trelkey.exe on Windows).
# Included from the top-level CMakeLists.txt once the trelkey target exists.
include(GNUInstallDirs)

set(TRELKEY_PACKAGING_SOURCE_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(TRELKEY_PACKAGING_BINARY_DIR "${PROJECT_BINARY_DIR}/packaging")
set(TRELKEY_PACKAGE_MAINTAINER "trelkey maintainers <maintainers@trelkey.invalid>"
    CACHE STRING "Maintainer named in the trelkey package")

# The user documents and the udev rule take the identity settings as the
# top-level CMakeLists.txt converted them: TRELKEY_VENDOR_ID_HEX and
# TRELKEY_PRODUCT_ID_HEX (four hex digits), TRELKEY_MANUFACTURER_ROFF and
# TRELKEY_PRODUCT_ROFF (for the man page).
include("${TRELKEY_PACKAGING_SOURCE_DIR}/linux/udev_rule.cmake")

# The package's changelog, in Debian's format. Its newest entry must be this
# version's, so that no release ships without one. Its date is the release's:
# the man page shows it (YYYY-MM-DD), and the packages carry it as their
# time (seconds since 1970, UTC), so that the same sources give the same
# packages whenever they are built.
set(changelog "${TRELKEY_PACKAGING_SOURCE_DIR}/linux/changelog")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${changelog}")
file(STRINGS "${changelog}" heading LIMIT_COUNT 1)
file(STRINGS "${changelog}" signature REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX MATCH "^trelkey \\(([^)]*)\\) " heading "${heading}")
set(version "${CMAKE_MATCH_1}")
string(REGEX MATCH ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([-+])([0-9][0-9])([0-9][0-9])$"
       date "${signature}")
set(day ${CMAKE_MATCH_1})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months "${CMAKE_MATCH_2}" month)
set(year ${CMAKE_MATCH_3})
set(seconds "${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 + ${CMAKE_MATCH_6}
             - ${CMAKE_MATCH_7}(${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
if(NOT version STREQUAL PROJECT_VERSION OR NOT date OR month LESS 0)
  message(FATAL_ERROR "${changelog}: the newest entry is not version ${PROJECT_VERSION} with a date")
endif()
# Seconds since 1970-01-01 UTC: the days before the entry's, counting years
# from March so that a leap day ends its year, then the entry's time of day
# less its offset from UTC.
set(march_year ${year})
if(month LESS 2)
  math(EXPR march_year "${year} - 1")
endif()
math(EXPR days "${march_year} * 365 + ${march_year} / 4 - ${march_year} / 100 + ${march_year} / 400
                - 719468 + (153 * ((${month} + 10) % 12) + 2) / 5 + ${day} - 1")
math(EXPR CPACK_TRELKEY_SOURCE_DATE_EPOCH "${days} * 86400 + ${seconds}")
math(EXPR month "${month} + 101")
string(SUBSTRING "${month}" 1 2 month)
set(TRELKEY_RELEASE_DATE "${year}-${month}-${day}")
# cpack sets SOURCE_DATE_EPOCH to that time unless the caller set it.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/TrelkeyCPackTime.cmake")
# The staging directory's directories 0755, whatever the umask.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/TrelkeyCPackModes.cmake")

if(WIN32)
  # Windows resources are compiled by windres (CMAKE_RC_COMPILER).
  enable_language(RC)
  # The version resource takes four numbers: major, minor, patch, build.
  set(version_numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR}
                      ${PROJECT_VERSION_PATCH} 0 0 0)
  list(SUBLIST version_numbers 0 4 version_numbers)
  list(JOIN version_numbers "," TRELKEY_RC_VERSION)
  set(TRELKEY_MANIFEST_FILE "${TRELKEY_PACKAGING_SOURCE_DIR}/windows/trelkey.manifest")
  set(resource_script "${TRELKEY_PACKAGING_BINARY_DIR}/trelkey.rc")
  configure_file("${TRELKEY_PACKAGING_SOURCE_DIR}/windows/trelkey.rc.in" "${resource_script}" @ONLY)
  target_sources(trelkey PRIVATE "${resource_script}")
  set_source_files_properties("${resource_script}" TARGET_DIRECTORY trelkey
    PROPERTIES OBJECT_DEPENDS "${TRELKEY_MANIFEST_FILE}")

  # Windows users unpack the zip and find trelkey.exe beside a README that
  # Notepad shows properly (CRLF line endings).
  # The name lists' own line breaks too.
  foreach(list TRELKEY_KEY_NAMES_TEXT TRELKEY_MODIFIER_NAMES_TEXT)
    string(REPLACE "\n" "\r\n" ${list} "${${list}}")
  endforeach()
  configure_file("${TRELKEY_PACKAGING_SOURCE_DIR}/windows/README.txt.in"
                 "${TRELKEY_PACKAGING_BINARY_DIR}/README.txt" @ONLY NEWLINE_STYLE CRLF)
  configure_file("${PROJECT_SOURCE_DIR}/LICENSE" "${TRELKEY_PACKAGING_BINARY_DIR}/LICENSE.txt"
                 @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS trelkey RUNTIME DESTINATION .)
  install(FILES "${TRELKEY_PACKAGING_BINARY_DIR}/README.txt"
                "${TRELKEY_PACKAGING_BINARY_DIR}/LICENSE.txt" "${TRELKEY_PAGE}" DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  # The zip made again with its entries in name order.
  set(CPACK_POST_BUILD_SCRIPTS "${TRELKEY_PACKAGING_SOURCE_DIR}/windows/zip_in_order.cmake")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME "trelkey-${PROJECT_VERSION}-win32")
  else()
    set(CPACK_PACKAGE_FILE_NAME "trelkey-${PROJECT_VERSION}-win64")
  endif()
else()
  install(TARGETS trelkey RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  # The configuration page, for a browser with WebHID.
  install(FILES "${TRELKEY_PAGE}" DESTINATION "${CMAKE_INSTALL_DATADIR}/trelkey")

  # The changelog, gzipped as Debian installs it.
  add_custom_command(OUTPUT "${TRELKEY_PACKAGING_BINARY_DIR}/changelog.gz"
    COMMAND gzip -9 -n -c "${changelog}" > "${TRELKEY_PACKAGING_BINARY_DIR}/changelog.gz"
    DEPENDS "${changelog}"
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(trelkey_changelog ALL DEPENDS "${TRELKEY_PACKAGING_BINARY_DIR}/changelog.gz")
  install(FILES "${TRELKEY_PACKAGING_BINARY_DIR}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

  # The man page, gzipped as Debian installs man pages (-n: no name or time
  # stamp inside, so the same page gives the same bytes).
  set(man_page "${TRELKEY_PACKAGING_BINARY_DIR}/trelkey.1")
  configure_file("${TRELKEY_PACKAGING_SOURCE_DIR}/linux/trelkey.1.in" "${man_page}" @ONLY)
  add_custom_command(OUTPUT "${man_page}.gz"
    COMMAND gzip -9 -n -f -k "${man_page}"
    DEPENDS "${man_page}"
    COMMENT "Compressing the man page"
    VERBATIM)
  add_custom_target(trelkey_man_page ALL DEPENDS "${man_page}.gz")
  install(FILES "${man_page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

  # The completion, with the key and modifier names (TRELKEY_KEY_NAMES and
  # TRELKEY_MODIFIER_NAMES, from src/keys/names.txt).
  configure_file("${TRELKEY_PACKAGING_SOURCE_DIR}/linux/trelkey.bash-completion.in"
                 "${TRELKEY_PACKAGING_BINARY_DIR}/trelkey.bash-completion" @ONLY)
  install(FILES "${TRELKEY_PACKAGING_BINARY_DIR}/trelkey.bash-completion"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
          RENAME trelkey)

  # The udev rule for the device the program looks for. udev reads
  # lib/udev/rules.d under /usr and /usr/local; lib is not the multiarch
  # library directory here.
  trelkey_udev_rule_text(udev_rule "${TRELKEY_VENDOR_ID_HEX}" "${TRELKEY_PRODUCT_ID_HEX}")
  set(TRELKEY_UDEV_RULE_FILE "${TRELKEY_PACKAGING_BINARY_DIR}/70-trelkey.rules")
  file(CONFIGURE OUTPUT "${TRELKEY_UDEV_RULE_FILE}" CONTENT "${udev_rule}")
  install(FILES "${TRELKEY_UDEV_RULE_FILE}" DESTINATION lib/udev/rules.d)

  # The copyright file, in Debian's machine-readable format, made from
  # LICENSE: its copyright line, then the licence (Debian calls the MIT
  # licence Expat) with each line indented and blank lines written as ".".
  file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holder "${license}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${license}" "Permission" terms_start)
  string(SUBSTRING "${license}" ${terms_start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  set(copyright_file "${TRELKEY_PACKAGING_BINARY_DIR}/copyright")
  file(CONFIGURE OUTPUT "${copyright_file}" @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: trelkey

Files: *
Copyright: @holder@
License: Expat
 @terms@
")
  install(FILES "${copyright_file}" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

  # The package's scripts make udev apply the rule on install and removal.
  set(maintainer_scripts "")
  foreach(script_step IN ITEMS "postinst;configure;installed" "postrm;remove;removed")
    list(GET script_step 0 TRELKEY_MAINTAINER_SCRIPT)
    list(GET script_step 1 TRELKEY_MAINTAINER_ACTION)
    list(GET script_step 2 TRELKEY_MAINTAINER_STEP)
    set(script "${TRELKEY_PACKAGING_BINARY_DIR}/${TRELKEY_MAINTAINER_SCRIPT}")
    configure_file("${TRELKEY_PACKAGING_SOURCE_DIR}/linux/maintainer_script.in" "${script}"
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                   GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    list(APPEND maintainer_scripts "${script}")
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends computed by dpkg-shlibdeps from what the binary links (libc).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Tab completion works only with bash-completion installed.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${maintainer_scripts})
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The .deb made again with its members' modes fixed (ar's deterministic mode).
  set(CPACK_POST_BUILD_SCRIPTS "${TRELKEY_PACKAGING_SOURCE_DIR}/linux/deb_fixed_modes.cmake")
  set(CPACK_TRELKEY_AR "${CMAKE_AR}")
endif()

set(CPACK_PACKAGE_NAME trelkey)
# Packages carry the program without its symbols and debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "trelkey")
set(CPACK_PACKAGE_CONTACT "${TRELKEY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a USB trigger-to-keystroke device")
# No quotes inside: CPack writes this into its configuration file unescaped.
set(CPACK_PACKAGE_DESCRIPTION "trelkey reads and writes the configuration of a USB HID
trigger-to-keystroke device: a one- or four-channel unit that types a
keyboard key, optionally with modifier keys, when a trigger input fires.
The package includes a udev rule that gives the user at the local seat
access to the device.")
include(CPack)
