// Stand-in for the part of <windows.h> that the Windows device backend uses,
// so that it builds on Linux over the test double. Names, types and sizes are
// those of 64-bit Windows (LLP64: DWORD and ULONG 32 bits, handles pointers),
// but for wide text, whose wchar_t has 32 bits here; the functions, defined
// by the double, take the types Win32's names stand for.
#pragma once

#include <stdarg.h>
#include <stdint.h>

#define WINAPI
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u
#define ERROR_INVALID_PARAMETER 87u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define CP_UTF8 65001u
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))

typedef int BOOL, LONG;  // LONG: 32 bits
typedef unsigned char BOOLEAN, UCHAR;
typedef unsigned short USHORT;
typedef unsigned int UINT, DWORD, ULONG, *PULONG;  // DWORD and ULONG: 32 bits
typedef void *PVOID, *HANDLE;
typedef struct HINSTANCE__* HMODULE;
typedef intptr_t(WINAPI* FARPROC)();
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2, Data3;
    uint8_t Data4[8];
} GUID, *LPGUID;

extern "C" {
DWORD WINAPI GetLastError(void);
HMODULE WINAPI LoadLibraryA(const char*);
HMODULE WINAPI LoadLibraryExA(const char*, HANDLE, DWORD);
UINT WINAPI GetSystemDirectoryA(char*, UINT);
FARPROC WINAPI GetProcAddress(HMODULE, const char*);
HANDLE WINAPI CreateFileA(const char*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE);
BOOL WINAPI CloseHandle(HANDLE);
DWORD WINAPI FormatMessageW(DWORD, const void*, DWORD, DWORD, wchar_t*, DWORD, va_list*);
int WINAPI MultiByteToWideChar(UINT, DWORD, const char*, int, wchar_t*, int);
int WINAPI WideCharToMultiByte(UINT, DWORD, const wchar_t*, int, char*, int, const char*, BOOL*);
HANDLE WINAPI GetStdHandle(DWORD);
BOOL WINAPI GetConsoleMode(HANDLE, DWORD*);
BOOL WINAPI WriteConsoleW(HANDLE, const void*, DWORD, DWORD*, void*);
UINT WINAPI GetConsoleOutputCP(void);
DWORD WINAPI GetConsoleProcessList(DWORD*, DWORD);
}
