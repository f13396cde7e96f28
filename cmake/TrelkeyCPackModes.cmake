# Run by cpack once it has installed the files into its staging directory,
# before it makes the package of them (CPACK_PRE_BUILD_SCRIPTS). The packages
# carry the modes they find there. install() gives the files theirs (0644,
# the program 0755) whatever the builder's umask, but the directories it
# makes on the way take the umask (0700 under umask 077): they are made 0755
# here, so that the packages have the same modes whoever builds them.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
