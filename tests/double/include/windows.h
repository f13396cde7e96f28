// Stand-in for the part of <windows.h> that trelkey uses, for hosts that are
// not Windows. Names, types, sizes and signatures are those of the Win32 API
// on 64-bit Windows (LLP64: DWORD and ULONG are 32 bits, handles are
// pointers), so the code that includes this header builds unchanged against
// the real one.
#ifndef TRELKEY_PLATFORM_WINDOWS_H
#define TRELKEY_PLATFORM_WINDOWS_H

#include <stdint.h>

#define WINAPI
#define CALLBACK
#define ANYSIZE_ARRAY 1

typedef int BOOL;
typedef unsigned char BOOLEAN;
typedef unsigned char UCHAR;
typedef unsigned char BYTE;
typedef char CHAR;
typedef unsigned short USHORT;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t SIZE_T;
typedef DWORD* PDWORD;
typedef ULONG* PULONG;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef CHAR* PSTR;
typedef CHAR* LPSTR;
typedef const CHAR* PCSTR;
typedef const CHAR* LPCSTR;
typedef void* HANDLE;

struct HINSTANCE__;
struct HWND__;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef INT_PTR(WINAPI* FARPROC)();

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, *LPGUID;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define TRUE 1
#define FALSE 0

// The value is Win32's, (HANDLE)(LONG_PTR)-1. The macro expands into every
// comparison with it, so C++ code gets it through C++ casts: a C-style cast
// there would be one in the project's own code.
#ifdef __cplusplus
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#else
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#endif

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u

#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_GEN_FAILURE 31u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_MOD_NOT_FOUND 126u
#define ERROR_PROC_NOT_FOUND 127u
#define ERROR_NO_MORE_ITEMS 259u
#define ERROR_INVALID_USER_BUFFER 1784u

// Declared with the documented parameter names. The hidraw stand-in and the
// test double each define these functions and name the parameters their
// own way.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
#ifdef __cplusplus
extern "C" {
#endif

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error_code);

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI CloseHandle(HANDLE hObject);

HANDLE WINAPI GetProcessHeap(void);
LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

#ifdef __cplusplus
}
#endif
// NOLINTEND(readability-inconsistent-declaration-parameter-name)

#endif
