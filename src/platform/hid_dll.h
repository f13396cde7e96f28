// The exports of the built-in hid.dll, which LoadLibraryExA and
// GetProcAddress hand out. Each has the type hid_api.h gives its pointer.
#ifndef TRELKEY_PLATFORM_HID_DLL_H
#define TRELKEY_PLATFORM_HID_DLL_H

#include "hid/hid_api.h"

// The HID device interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
extern const GUID HID_INTERFACE_GUID;

// hid.dll's exports under their documented names and parameter names;
// the project's naming rules do not apply to them.
// NOLINTBEGIN(readability-identifier-naming)
extern "C" {

void WINAPI HidD_GetHidGuid(LPGUID HidGuid);
BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes);
BOOLEAN WINAPI HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
BOOLEAN WINAPI HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
BOOLEAN WINAPI HidD_GetSerialNumberString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
BOOLEAN WINAPI HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength);
BOOLEAN WINAPI HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer,
                               ULONG ReportBufferLength);
BOOLEAN WINAPI HidD_GetNumInputBuffers(HANDLE HidDeviceObject, PULONG NumberBuffers);
BOOLEAN WINAPI HidD_SetNumInputBuffers(HANDLE HidDeviceObject, ULONG NumberBuffers);
}
// NOLINTEND(readability-identifier-naming)

#endif
