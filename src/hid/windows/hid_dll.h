// The hid.dll functions trelkey calls, declared as the Win32 documentation
// gives them (hidsdi.h, hidpi.h), so that no driver-kit header is needed. hid.dll is
// loaded at run time, so only the function types are declared here.
#ifndef TRELKEY_HID_WINDOWS_HID_DLL_H
#define TRELKEY_HID_WINDOWS_HID_DLL_H

#include <windows.h>

// The names below are hidsdi.h's own, kept so that the declarations read as
// the documentation does; the project's naming rules do not apply to them.
// NOLINTBEGIN(readability-identifier-naming)
typedef struct _HIDD_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
} HIDD_ATTRIBUTES, *PHIDD_ATTRIBUTES;

static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES is a 12-byte record");

typedef void(WINAPI* PHidD_GetHidGuid)(LPGUID HidGuid);
typedef BOOLEAN(WINAPI* PHidD_GetAttributes)(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes);
typedef BOOLEAN(WINAPI* PHidD_GetString)(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
typedef BOOLEAN(WINAPI* PHidD_GetFeature)(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                          ULONG ReportBufferLength);
typedef BOOLEAN(WINAPI* PHidD_SetFeature)(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                          ULONG ReportBufferLength);
// A collection's report layout, which hid.dll allocates and reads.
typedef struct _HIDP_PREPARSED_DATA* PHIDP_PREPARSED_DATA;
typedef enum _HIDP_REPORT_TYPE { HidP_Input, HidP_Output, HidP_Feature } HIDP_REPORT_TYPE;
// The NTSTATUS of a HidP_ call that succeeded.
constexpr LONG HIDP_STATUS_SUCCESS = 0x00110000;

typedef BOOLEAN(WINAPI* PHidD_GetPreparsedData)(HANDLE HidDeviceObject,
                                                PHIDP_PREPARSED_DATA* PreparsedData);
typedef BOOLEAN(WINAPI* PHidD_FreePreparsedData)(PHIDP_PREPARSED_DATA PreparsedData);
typedef LONG(WINAPI* PHidP_InitializeReportForID)(HIDP_REPORT_TYPE ReportType, UCHAR ReportID,
                                                  PHIDP_PREPARSED_DATA PreparsedData, char* Report,
                                                  ULONG ReportLength);
typedef BOOLEAN(WINAPI* PHidD_GetNumInputBuffers)(HANDLE HidDeviceObject, PULONG NumberBuffers);
typedef BOOLEAN(WINAPI* PHidD_SetNumInputBuffers)(HANDLE HidDeviceObject, ULONG NumberBuffers);
// NOLINTEND(readability-identifier-naming)

#endif
