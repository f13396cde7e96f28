// Stand-in for the part of <setupapi.h> that the Windows device backend uses;
// record layouts are those of 64-bit Windows.
#pragma once

#include <windows.h>

#define DIGCF_PRESENT 0x00000002u
#define DIGCF_DEVICEINTERFACE 0x00000010u

typedef PVOID HDEVINFO;
typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    uintptr_t Reserved;
} SP_DEVICE_INTERFACE_DATA;
typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    char DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A;

extern "C" {
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID*, const char*, struct HWND__*, DWORD);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO, struct _SP_DEVINFO_DATA*, const GUID*, DWORD,
                                        SP_DEVICE_INTERFACE_DATA*);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO, SP_DEVICE_INTERFACE_DATA*,
                                             SP_DEVICE_INTERFACE_DETAIL_DATA_A*, DWORD, DWORD*,
                                             struct _SP_DEVINFO_DATA*);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO);
}
