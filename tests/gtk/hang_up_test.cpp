// The idle wait of the GTK layer when the line hangs up in the same turn of the main loop in which
// a handler closes the port (the window's close button does): the device is gone after the
// dispatch, and the wait must not touch it. Only GLib's loop runs: no display is needed.
#include <glib.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

struct Port {
  platform::SerialDevice* device;
  bool closed;
};

TEST(IdleWait, LeavesADeviceClosedDuringTheTurnThatSawItsLineHangUp) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  setenv("MIRELOX_COM1", name, 1);
  Port port{platform::OpenSerialDevice(1), false};
  ASSERT_NE(port.device, nullptr);
  close(slave);
  close(master);  // the line hangs up
  g_idle_add(
      [](gpointer data) {
        auto* port = static_cast<Port*>(data);
        platform::CloseSerialDevice(port->device);
        port->closed = true;
        return gboolean(G_SOURCE_REMOVE);
      },
      &port);
  platform::WaitForMessageOrByte(port.device, -1);
  EXPECT_TRUE(port.closed);
}

}  // namespace
