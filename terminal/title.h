// The normal window title: the program, the port in use and the line settings (or that its device
// has gone), with the hint that F1..F6 choose the port. Transfers replace it with their progress and
// put it back when they end.
#pragma once

extern const char MakersNotice[];  // exactly 23 characters
constexpr int TitleSize = 100;

void SetNormalTitle();
