// The GTK key table: what each key press becomes for the core, as Windows would deliver it (the
// key-down's virtual key, the character TranslateMessage adds, or an accelerator's command). Pure
// GDK keyval functions: no display is needed. The keys that the Linux end-to-end run presses and
// checks on the line (arrows and page keys on both pads, Backspace, Space, å, F1, Alt+?) are left to it.
#include "app/window_messages.h"
#include "platform/gtk/key_translation.h"
#include "tests/rows.h"

namespace {

constexpr unsigned Other = 0;  // a virtual key the core does nothing with
constexpr unsigned Ctrl = GDK_CONTROL_MASK, Shift = GDK_SHIFT_MASK, Alt = GDK_MOD1_MASK;

unsigned AsTheCoreSees(unsigned virtualKey) {
  const bool acts = virtualKey == vk::Back || (virtualKey >= vk::Prior && virtualKey <= vk::Down) ||
                    (virtualKey >= vk::F1 && virtualKey <= vk::F6);
  return acts ? virtualKey : Other;
}

struct KeyCase {
  const char* name;
  guint keyval, keypadTwin;  // the twin (0: none) must mean the same
  unsigned state, virtualKey;
  int character, command = 0;
  bool forCore = true, acceleratorsLoaded = true;
};

const KeyCase KeyRows[] = {
    {"Insert", GDK_KEY_Insert, GDK_KEY_KP_Insert, 0, Other, -1},
    {"Delete", GDK_KEY_Delete, GDK_KEY_KP_Delete, 0, Other, -1},
    {"Digit", GDK_KEY_5, GDK_KEY_KP_5, 0, Other, '5'},
    {"F7", GDK_KEY_F7, 0, 0, Other, -1},
    {"Return", GDK_KEY_Return, GDK_KEY_KP_Enter, 0, Other, '\r'},
    {"CtrlReturn", GDK_KEY_Return, GDK_KEY_KP_Enter, Ctrl, Other, '\n'},
    {"CtrlC", GDK_KEY_c, 0, Ctrl, Other, 0x03},
    {"CtrlShiftZ", GDK_KEY_Z, 0, Ctrl | Shift, Other, 0x1A},
    {"CtrlSpace", GDK_KEY_space, 0, Ctrl, Other, ' '},
    {"Euro", GDK_KEY_EuroSign, 0, 0, Other, 0x80},
    {"ShiftAlone", GDK_KEY_Shift_L, 0, Shift, Other, -1, 0, false},
    {"AltSlash", GDK_KEY_slash, 0, Alt, Other, -1, cmd::About},
    {"AltSlashBeforeTheTableIsLoaded", GDK_KEY_slash, 0, Alt, Other, -1, 0, false, false},
    {"AltX", GDK_KEY_x, 0, Alt, Other, -1, 0, false},
};

TEST_ROWS(Keys, KeyRows);

TEST_P(Keys, ReachTheCoreAsOnWindows) {
  const KeyCase& row = GetParam();
  for (guint keyval : {row.keyval, row.keypadTwin}) {
    if (keyval == 0) continue;
    SCOPED_TRACE(gdk_keyval_name(keyval));
    const platform::gtk::KeyMessages key =
        platform::gtk::TranslateKey(keyval, GdkModifierType(row.state), false, row.acceleratorsLoaded);
    // A key left to GTK, or an accelerator's, gives the core no virtual key and no character.
    EXPECT_EQ(std::tuple(key.forCore, key.command, AsTheCoreSees(key.virtualKey), key.character),
              std::tuple(row.forCore, row.command, row.virtualKey, row.character));
  }
}

}  // namespace
