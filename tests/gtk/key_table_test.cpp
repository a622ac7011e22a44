// The GTK key table: what each key press becomes for the core, as Windows would deliver it (the
// key-down's virtual key, the character TranslateMessage adds, or an accelerator's command). Pure
// GDK keyval functions: no display is needed.
#include <gtest/gtest.h>

#include "app/window_messages.h"
#include "platform/gtk/key_translation.h"

namespace {

constexpr unsigned Other = 0;  // a virtual key the core does nothing with
constexpr unsigned Ctrl = GDK_CONTROL_MASK, Shift = GDK_SHIFT_MASK, Alt = GDK_MOD1_MASK;

bool CoreActsOn(unsigned virtualKey) {
  return virtualKey == vk::Back || (virtualKey >= vk::Prior && virtualKey <= vk::Down) ||
         (virtualKey >= vk::F1 && virtualKey <= vk::F6);
}

struct KeyCase {
  const char* name;
  guint keyval;
  unsigned state;
  unsigned virtualKey;
  int character;
  int command = 0;
  bool forCore = true;
  bool acceleratorsLoaded = true;
};

void PrintTo(const KeyCase& row, std::ostream* out) {
  *out << row.name;
}

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, ReachTheCoreAsOnWindows) {
  const KeyCase& row = GetParam();
  const platform::gtk::KeyMessages key =
      platform::gtk::TranslateKey(row.keyval, GdkModifierType(row.state), false, row.acceleratorsLoaded);
  EXPECT_EQ(key.forCore, row.forCore);
  EXPECT_EQ(key.command, row.command);
  if (!row.forCore || row.command != 0) return;
  if (row.virtualKey == Other) {
    EXPECT_FALSE(CoreActsOn(key.virtualKey)) << key.virtualKey;
  } else {
    EXPECT_EQ(key.virtualKey, row.virtualKey);
  }
  EXPECT_EQ(key.character, row.character);
}

INSTANTIATE_TEST_SUITE_P(
    GtkKeys, Keys,
    ::testing::Values(
        KeyCase{"PageUp", GDK_KEY_Page_Up, 0, vk::Prior, -1},
        KeyCase{"KeypadPageUp", GDK_KEY_KP_Page_Up, 0, vk::Prior, -1},
        KeyCase{"PageDown", GDK_KEY_Page_Down, 0, vk::Next, -1},
        KeyCase{"KeypadPageDown", GDK_KEY_KP_Page_Down, 0, vk::Next, -1},
        KeyCase{"Home", GDK_KEY_Home, 0, vk::Home, -1},
        KeyCase{"KeypadHome", GDK_KEY_KP_Home, 0, vk::Home, -1}, KeyCase{"End", GDK_KEY_End, 0, vk::End, -1},
        KeyCase{"KeypadEnd", GDK_KEY_KP_End, 0, vk::End, -1}, KeyCase{"Insert", GDK_KEY_Insert, 0, Other, -1},
        KeyCase{"KeypadInsert", GDK_KEY_KP_Insert, 0, Other, -1},
        KeyCase{"Delete", GDK_KEY_Delete, 0, Other, -1},
        KeyCase{"KeypadDelete", GDK_KEY_KP_Delete, 0, Other, -1},
        KeyCase{"Left", GDK_KEY_Left, 0, vk::Left, -1},
        KeyCase{"KeypadLeft", GDK_KEY_KP_Left, 0, vk::Left, -1}, KeyCase{"Up", GDK_KEY_Up, 0, vk::Up, -1},
        KeyCase{"KeypadUp", GDK_KEY_KP_Up, 0, vk::Up, -1}, KeyCase{"Right", GDK_KEY_Right, 0, vk::Right, -1},
        KeyCase{"KeypadRight", GDK_KEY_KP_Right, 0, vk::Right, -1},
        KeyCase{"Down", GDK_KEY_Down, 0, vk::Down, -1},
        KeyCase{"KeypadDown", GDK_KEY_KP_Down, 0, vk::Down, -1},
        KeyCase{"KeypadDigit", GDK_KEY_KP_5, 0, Other, '5'}, KeyCase{"F1", GDK_KEY_F1, 0, vk::F1, -1},
        KeyCase{"F6", GDK_KEY_F6, 0, vk::F6, -1}, KeyCase{"F7", GDK_KEY_F7, 0, Other, -1},
        KeyCase{"Return", GDK_KEY_Return, 0, Other, '\r'},
        KeyCase{"KeypadEnter", GDK_KEY_KP_Enter, 0, Other, '\r'},
        KeyCase{"CtrlReturn", GDK_KEY_Return, Ctrl, Other, '\n'},
        KeyCase{"BackSpace", GDK_KEY_BackSpace, 0, vk::Back, 0x08},
        KeyCase{"CtrlBackSpace", GDK_KEY_BackSpace, Ctrl, vk::Back, 0x7F},
        KeyCase{"Tab", GDK_KEY_Tab, 0, Other, '\t'}, KeyCase{"Escape", GDK_KEY_Escape, 0, Other, 0x1B},
        KeyCase{"CtrlC", GDK_KEY_c, Ctrl, Other, 0x03},
        KeyCase{"CtrlShiftZ", GDK_KEY_Z, Ctrl | Shift, Other, 0x1A},
        KeyCase{"Space", GDK_KEY_space, 0, Other, ' '}, KeyCase{"CtrlSpace", GDK_KEY_space, Ctrl, Other, ' '},
        KeyCase{"ShiftA", GDK_KEY_A, Shift, Other, 'A'}, KeyCase{"ARing", GDK_KEY_aring, 0, Other, 0xE5},
        KeyCase{"Euro", GDK_KEY_EuroSign, 0, Other, 0x80},
        KeyCase{"ShiftAlone", GDK_KEY_Shift_L, Shift, Other, -1, 0, false},
        KeyCase{"AltQuestionMark", GDK_KEY_question, Alt | Shift, Other, -1, cmd::About},
        KeyCase{"AltSlash", GDK_KEY_slash, Alt, Other, -1, cmd::About},
        KeyCase{"AltSlashBeforeTheTableIsLoaded", GDK_KEY_slash, Alt, Other, -1, 0, false, false},
        KeyCase{"AltX", GDK_KEY_x, Alt, Other, -1, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
