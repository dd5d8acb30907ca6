// Restarting the USB device that carries a drive, so that Windows reads the
// newly written contents.
#pragma once

#include "devices/usb_restart_plan.h"

// Found before the write, from the volume's IOCTL_STORAGE_GET_DEVICE_NUMBER
// (type and number): the USB device that drive `letter` hangs on, or none.
// Prints nothing: its console lines wait in the plan for the restart.
UsbRestartPlan FindUsbDeviceToRestart(char letter);

// Prints the plan's lines, stops and starts the planned device once and waits
// for it to run again. A device that stays down is tried again, then given
// up: Failed. NotRestarted when Windows kept it running as it was (a program
// holds it). NothingToRestart when the plan found none, it is gone, or the
// program is ending.
UsbRestartOutcome RestartUsbDevice(const UsbRestartPlan& plan);

// Called when the window has closed: no new restart starts, and a device that
// a restart holds stopped is given up to `maxWaitMs` to run again before the
// process ends.
void FinishUsbRestartsBeforeExit(unsigned maxWaitMs);
