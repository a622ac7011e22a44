// The demo device: draws a menu on the terminal and acts on single keys typed there (file
// transfers both ways, text pages, freeze, identification, cursor moves, overfilling the screen),
// echoing every other key back. Runs until the session ends; returns the exit code.
#pragma once

#include "devsim/device.h"
#include "devsim/session.h"

namespace devsim {

int RunDemo(Device& device, Session& session);

}  // namespace devsim
