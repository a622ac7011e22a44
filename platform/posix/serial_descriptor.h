// The descriptor under a SerialDevice, for the GTK event loop to sleep on until a byte arrives.
#pragma once

#include "platform/platform.h"

namespace platform {

int SerialDescriptor(SerialDevice* device);

}  // namespace platform
