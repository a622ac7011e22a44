// The descriptor under a SerialDevice, for the GTK event loop to sleep on until a byte arrives, and
// the device that port n names: MIRELOX_COM<n>, else /dev/ttyS<n-1>.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace platform {

int SerialDescriptor(SerialDevice* device);
void SerialDeviceName(int portNumber, char* name, size_t size);

}  // namespace platform
