// Whether the program at the other end of the pty is still there. A pty master cannot tell, since
// the device keeps the slave open itself, so this looks through /proc for another process holding
// the slave (the program, or wineserver on its behalf), or watches a given process id.
#pragma once

#include <sys/types.h>

#include <string>

namespace devsim {

bool OtherProcessHolds(const std::string& devicePath);
bool ProcessAlive(pid_t pid);

}  // namespace devsim
