# Included by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE), so
# that the packages carry no build time. Unless the caller set
# SOURCE_DATE_EPOCH, it is the date of the newest changelog entry, which the
# configure step wrote into CPACK_TRELKEY_SOURCE_DATE_EPOCH. cpack gives that
# time to every ar, tar and zip entry and leaves it out of gzip headers;
# strip puts it in trelkey.exe's PE header. A zip entry also holds it as a
# local time, hence the fixed time zone.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TRELKEY_SOURCE_DATE_EPOCH}")
endif()
set(ENV{TZ} UTC)
