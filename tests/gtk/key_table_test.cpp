// The GTK key table: what each key press becomes for the core, as Windows would deliver it (the
// key-down's virtual key, the character TranslateMessage adds, or an accelerator's command). Pure
// GDK keyval functions: no display is needed.
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
    {"PageUp", GDK_KEY_Page_Up, GDK_KEY_KP_Page_Up, 0, vk::Prior, -1},
    {"PageDown", GDK_KEY_Page_Down, GDK_KEY_KP_Page_Down, 0, vk::Next, -1},
    {"Home", GDK_KEY_Home, GDK_KEY_KP_Home, 0, vk::Home, -1},
    {"End", GDK_KEY_End, GDK_KEY_KP_End, 0, vk::End, -1},
    {"Insert", GDK_KEY_Insert, GDK_KEY_KP_Insert, 0, Other, -1},
    {"Delete", GDK_KEY_Delete, GDK_KEY_KP_Delete, 0, Other, -1},
    {"Left", GDK_KEY_Left, GDK_KEY_KP_Left, 0, vk::Left, -1},
    {"Up", GDK_KEY_Up, GDK_KEY_KP_Up, 0, vk::Up, -1},
    {"Right", GDK_KEY_Right, GDK_KEY_KP_Right, 0, vk::Right, -1},
    {"Down", GDK_KEY_Down, GDK_KEY_KP_Down, 0, vk::Down, -1},
    {"Digit", GDK_KEY_5, GDK_KEY_KP_5, 0, Other, '5'},
    {"F1", GDK_KEY_F1, 0, 0, vk::F1, -1},
    {"F6", GDK_KEY_F6, 0, 0, vk::F6, -1},
    {"F7", GDK_KEY_F7, 0, 0, Other, -1},
    {"Return", GDK_KEY_Return, GDK_KEY_KP_Enter, 0, Other, '\r'},
    {"CtrlReturn", GDK_KEY_Return, GDK_KEY_KP_Enter, Ctrl, Other, '\n'},
    {"BackSpace", GDK_KEY_BackSpace, 0, 0, vk::Back, 0x08},
    {"CtrlBackSpace", GDK_KEY_BackSpace, 0, Ctrl, vk::Back, 0x7F},
    {"Tab", GDK_KEY_Tab, 0, 0, Other, '\t'},
    {"Escape", GDK_KEY_Escape, 0, 0, Other, 0x1B},
    {"CtrlC", GDK_KEY_c, 0, Ctrl, Other, 0x03},
    {"CtrlShiftZ", GDK_KEY_Z, 0, Ctrl | Shift, Other, 0x1A},
    {"Space", GDK_KEY_space, 0, 0, Other, ' '},
    {"CtrlSpace", GDK_KEY_space, 0, Ctrl, Other, ' '},
    {"ARing", GDK_KEY_aring, 0, 0, Other, 0xE5},
    {"Euro", GDK_KEY_EuroSign, 0, 0, Other, 0x80},
    {"ShiftAlone", GDK_KEY_Shift_L, 0, Shift, Other, -1, 0, false},
    {"AltQuestionMark", GDK_KEY_question, 0, Alt | Shift, Other, -1, cmd::About},
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
