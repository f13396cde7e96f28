// Stand-in for the part of <setupapi.h> that the Windows device backend uses;
// record layouts are those of 64-bit Windows.
#ifndef TRELKEY_TESTS_SETUPAPI_H
#define TRELKEY_TESTS_SETUPAPI_H

#include <windows.h>

typedef PVOID HDEVINFO;

#define DIGCF_PRESENT 0x00000002u
#define DIGCF_DEVICEINTERFACE 0x00000010u

typedef struct _SP_DEVINFO_DATA* PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[ANYSIZE_ARRAY];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;

// Defined by the test double.
extern "C" {
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID*, PCSTR, HWND, DWORD);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                        PSP_DEVICE_INTERFACE_DATA);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                             PSP_DEVINFO_DATA);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO);
}

#endif
