// What one GDK key press means to the core, as Win32 would have delivered it: a WM_KEYDOWN with a
// virtual-key code followed by the WM_CHAR that TranslateMessage makes, or an accelerator command,
// or nothing for us at all (modifier keys alone, Alt combinations that GTK's mnemonics may want).
#pragma once

#include <gdk/gdk.h>

namespace platform::gtk {

struct KeyMessages {
  bool forCore = false;     // false: leave the event to GTK
  unsigned virtualKey = 0;  // WM_KEYDOWN's wParam when forCore and command == 0
  int character = -1;       // WM_CHAR's Windows-1252 code, -1 when the key gives none
  int command = 0;          // a WM_COMMAND identifier from the accelerator table, else 0
};

KeyMessages TranslateKey(guint keyval, GdkModifierType state, bool isModifier, bool acceleratorsLoaded);

}  // namespace platform::gtk
