// The idle wait of the GTK layer when the line hangs up in the same turn of the main loop in which
// a handler closes the port (the window's close button does): the device is gone after the
// dispatch, and the wait must not touch it. Only GLib's loop runs: no display is needed.
#include <glib.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

TEST(IdleWait, LeavesADeviceClosedDuringTheTurnThatSawItsLineHangUp) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  setenv("MIRELOX_COM1", name, 1);
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  close(slave);
  close(master);  // the line hangs up
  g_idle_add(
      [](gpointer port) {
        auto* device = static_cast<platform::SerialDevice**>(port);
        platform::CloseSerialDevice(*device);
        *device = nullptr;
        return gboolean(G_SOURCE_REMOVE);
      },
      &device);
  platform::WaitForMessageOrByte(device, -1);
  EXPECT_EQ(device, nullptr);  // closed within that wait
}

}  // namespace
