// Restarting the USB device that carries a drive, so that Windows reads the
// newly written contents.
#pragma once

#include <windows.h>
#include <setupapi.h>

// Disables and enables again every present USB device whose instance id ends
// in the serial of the disk behind drive rootPath[0]. Reports on the console
// only; always returns 0.
int RestartUsbDevice(const char* rootPath);

// Disables (enable 0) or enables (enable 1) one device through its class
// installer. Returns 1 when the state changed, 0 when it did not.
int ChangeDeviceState(HDEVINFO set, SP_DEVINFO_DATA* device, int enable);

// Called when the window has closed: no new restart starts, and a device that
// a restart holds disabled is given up to `maxWaitMs` to be enabled again
// before the process ends.
void FinishUsbRestartsBeforeExit(unsigned maxWaitMs);
