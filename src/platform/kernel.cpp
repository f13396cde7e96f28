// The kernel32 part of the Win32 stand-in: last error, the built-in hid.dll
// module, files as file descriptors, and the process heap.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>
#include <windows.h>

#include "hid_dll.h"
#include "hidraw.h"

namespace {

// Per thread, as on Windows.
thread_local DWORD last_error = ERROR_SUCCESS;

struct ErrnoMapping {
    int error_number;
    DWORD error;
};

// errno values with a close Win32 counterpart; all others are reported as
// ERROR_GEN_FAILURE.
const ErrnoMapping ERRNO_MAPPINGS[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},    {ENOTDIR, ERROR_FILE_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},     {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},     {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY}, {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOTTY, ERROR_NOT_SUPPORTED},
};

// Names under which LoadLibraryExA finds hid.dll, compared without regard to
// case; a name without an extension means ".dll" on Windows.
const char* const HID_LIBRARY_NAMES[] = {"hid.dll", "hid"};

// hid.dll's handle is the address of this byte; it has no other use.
char hid_module;

// GetProcAddress hands out every export as this type and the caller converts
// it back; void (*)(void) converts to and from any function type without a
// cast-function-type warning.
typedef void (*GenericFunction)(void);

struct HidExport {
    const char* name;
    GenericFunction address;
};

// Each export's name is spelt from its function's identifier, so that the
// two cannot disagree.
// clang-format off
#define HID_EXPORT(function) {#function, reinterpret_cast<GenericFunction>(function)}
// clang-format on
const HidExport HID_EXPORTS[] = {
    HID_EXPORT(HidD_GetHidGuid),
    HID_EXPORT(HidD_GetAttributes),
    HID_EXPORT(HidD_GetManufacturerString),
    HID_EXPORT(HidD_GetProductString),
    HID_EXPORT(HidD_GetSerialNumberString),
    HID_EXPORT(HidD_GetFeature),
    HID_EXPORT(HidD_SetFeature),
    HID_EXPORT(HidD_GetNumInputBuffers),
    HID_EXPORT(HidD_SetNumInputBuffers),
};
#undef HID_EXPORT

// GetProcessHeap's handle; the heap itself is malloc's.
char process_heap;

bool names_hid_library(const char* name) {
    for (const char* library_name : HID_LIBRARY_NAMES) {
        if (strcasecmp(name, library_name) == 0) return true;
    }
    return false;
}

HANDLE fail_open(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE fd_handle(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

int handle_fd(HANDLE handle) {
    const intptr_t value = reinterpret_cast<intptr_t>(handle);
    if (value <= 0 || value > INT_MAX) return -1;
    return static_cast<int>(value);
}

void set_last_error_from_errno(int error_number) {
    for (const ErrnoMapping& mapping : ERRNO_MAPPINGS) {
        if (mapping.error_number == error_number) {
            SetLastError(mapping.error);
            return;
        }
    }
    SetLastError(ERROR_GEN_FAILURE);
}

// The Win32 functions keep the parameter names the Win32 documentation
// gives them; the project's naming rules do not apply to those.
// NOLINTBEGIN(readability-identifier-naming)
extern "C" {

DWORD WINAPI GetLastError(void) { return last_error; }

void WINAPI SetLastError(DWORD error_code) { last_error = error_code; }

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD) {
    // hFile is reserved and must be NULL.
    if (lpLibFileName == nullptr || hFile != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!names_hid_library(lpLibFileName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&hid_module);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule != reinterpret_cast<HMODULE>(&hid_module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // A "name" below 0x10000 is an export ordinal; the built-in module
    // exports by name only.
    if (reinterpret_cast<uintptr_t>(lpProcName) >> 16 != 0) {
        for (const HidExport& hid_export : HID_EXPORTS) {
            if (strcmp(lpProcName, hid_export.name) == 0) {
                return reinterpret_cast<FARPROC>(hid_export.address);
            }
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD, HANDLE) {
    if (lpFileName == nullptr) return fail_open(ERROR_INVALID_PARAMETER);
    // Device nodes are opened, never created.
    if (dwCreationDisposition != OPEN_EXISTING) return fail_open(ERROR_NOT_SUPPORTED);
    int fd = open(lpFileName, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        set_last_error_from_errno(errno);
        return INVALID_HANDLE_VALUE;
    }
    if (fd == 0) {
        // Descriptor 0 would be the NULL handle, which CreateFile never
        // returns and callers may take for a failure.
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        const int saved_errno = errno;
        close(fd);
        if (moved < 0) {
            set_last_error_from_errno(saved_errno);
            return INVALID_HANDLE_VALUE;
        }
        fd = moved;
    }
    if (hidraw_only_keyboards_and_mice(fd)) {
        close(fd);
        return fail_open(ERROR_ACCESS_DENIED);
    }
    return fd_handle(fd);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    const int fd = handle_fd(hObject);
    if (fd < 0) return fail_with(ERROR_INVALID_HANDLE);
    // Linux releases the descriptor even when close is interrupted.
    if (close(fd) != 0 && errno != EINTR) {
        set_last_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI GetProcessHeap(void) { return &process_heap; }

LPVOID WINAPI HeapAlloc(HANDLE, DWORD, SIZE_T dwBytes) {
    // A zero-byte block is still a distinct, freeable block on Windows.
    void* block = malloc(dwBytes == 0 ? 1 : dwBytes);
    if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID lpMem) {
    free(lpMem);
    return TRUE;
}
}
// NOLINTEND(readability-identifier-naming)
