// umockdev gives stat() of an emulated /dev node the node's device number,
// but fstat() of an open one sees the plain file behind it. Preloaded after
// umockdev's library, this makes fstat() of a descriptor open on the
// testbed's /dev answer as stat() of that /dev path does.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int fstat(int fd, struct stat* status) {
    char link[32];
    char target[4096];
    const char* root = getenv("UMOCKDEV_DIR");
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    const size_t root_length = root == NULL ? 0 : strlen(root);
    if (length > 0 && root_length > 0) {
        target[length] = '\0';
        if (strncmp(target, root, root_length) == 0 &&
            strncmp(target + root_length, "/dev/", 5) == 0) {
            return stat(target + root_length, status);
        }
    }
    int (*next)(int, struct stat*);
    *(void**)&next = dlsym(RTLD_NEXT, "fstat");  // POSIX's form of the conversion
    return next(fd, status);
}
