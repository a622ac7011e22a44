// The normal window title: the program, the port in use and the line settings, with the hint that
// F1..F6 choose the port. Transfers replace it with their progress and put it back when they end.
#pragma once

extern const char MakersNotice[];  // exactly 23 characters
constexpr int TitleSize = 100;

// Composes the normal title for the given port number into title (TitleSize bytes).
void ComposeNormalTitle(char* title, int portNumber);
void SetNormalTitle();
