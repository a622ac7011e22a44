#include "terminal/title.h"

#include <cstdio>

#include "config/configuration.h"
#include "platform/platform.h"

const char MakersNotice[] = "(c) Mirelox Instruments";

void ComposeNormalTitle(char* title, int portNumber) {
  std::snprintf(title, TitleSize, " Mirelox v2.2  |   COM%d: 4800 8N1   |   select comport F1..F6   |   %s",
                portNumber, MakersNotice);
}

void SetNormalTitle() {
  char title[TitleSize];
  ComposeNormalTitle(title, CurrentPort);
  platform::SetMainWindowTitle(title);
}
