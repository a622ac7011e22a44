#include "terminal/title.h"

#include <cstdio>

#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

const char MakersNotice[] = "(c) Mirelox Instruments";

void SetNormalTitle() {
  char title[TitleSize];
  std::snprintf(title, TitleSize, " Mirelox v2.2  |   COM%d: %s   |   select comport F1..F6   |   %s",
                CurrentPort, ComPort.isLost() ? "no device" : "4800 8N1", MakersNotice);
  platform::SetMainWindowTitle(title);
}
