// Directory trees in a fresh temporary directory, for tests that need a
// sysfs or /dev of their own.
#ifndef TRELKEY_TESTS_PLATFORM_TEMP_TREE_H
#define TRELKEY_TESTS_PLATFORM_TEMP_TREE_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// An empty directory under the system's temporary directory.
inline std::string make_temp_dir() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "trelkey-XXXXXX").string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// A file holding text, or a symbolic link to target, with any missing parent
// directories.
inline void write_file(const std::string& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream(path) << text;
}

inline void make_link(const std::string& path, const std::string& target) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::filesystem::create_symlink(target, path, error);
}

// Removes a tree without following its links.
inline void remove_tree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

#endif
