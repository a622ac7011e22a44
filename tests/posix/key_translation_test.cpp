// Key presses as the core sees them: the virtual-key code of WM_KEYDOWN, the Windows-1252 code of
// the WM_CHAR that follows it, the accelerator command an Alt key gives, or nothing for the core.
#include "platform/gtk/key_translation.h"

#include <gtest/gtest.h>

namespace {

constexpr auto None = GdkModifierType(0);
constexpr auto Shift = GDK_SHIFT_MASK;
constexpr auto Control = GDK_CONTROL_MASK;
constexpr auto Alt = GDK_MOD1_MASK;
constexpr int NotForCore = -2;

struct Press {
  guint keyval;
  GdkModifierType state;
  int virtualKey;  // NotForCore: the event is left to GTK
  int character;
  int command;
};

// What typing tests on the real window cannot easily reach: control codes, characters outside
// Windows-1252, keys GTK names differently, modifiers alone and Alt keys.
// clang-format off
const Press Presses[] = {
    {GDK_KEY_a, None, 'A', 'a', 0}, {GDK_KEY_question, Shift, 0xFF, '?', 0}, {GDK_KEY_EuroSign, None, 0xFF, 0x80, 0},
    {GDK_KEY_Cyrillic_a, None, 0xFF, -1, 0}, {GDK_KEY_Return, Control, 0x0D, 0x0A, 0}, {GDK_KEY_j, Control, 'J', 0x0A, 0},
    {GDK_KEY_m, Control, 'M', 0x0D, 0}, {GDK_KEY_BackSpace, None, 0x08, 0x08, 0}, {GDK_KEY_BackSpace, Control, 0x08, 0x7F, 0},
    {GDK_KEY_Tab, None, 0x09, 0x09, 0}, {GDK_KEY_Escape, None, 0x1B, 0x1B, 0}, {GDK_KEY_1, Control, '1', -1, 0},
    {GDK_KEY_Z, GdkModifierType(Control | Shift), 'Z', 0x1A, 0}, {GDK_KEY_KP_Left, None, 0x25, -1, 0},
    {GDK_KEY_KP_Page_Down, None, 0x22, -1, 0}, {GDK_KEY_Insert, None, 0x2D, -1, 0}, {GDK_KEY_F12, None, 0x7B, -1, 0},
    {GDK_KEY_Shift_L, None, NotForCore, -1, 0}, {GDK_KEY_ISO_Level3_Shift, None, NotForCore, -1, 0},
    {GDK_KEY_KP_Divide, Alt, 0, -1, 104}, {GDK_KEY_a, Alt, NotForCore, -1, 0},  // Alt+a: left to GTK's mnemonics
};
// clang-format on

TEST(KeyTranslation, KeysGiveWhatWindowsWouldDeliver) {
  for (const Press& p : Presses) {
    const auto m = platform::gtk::TranslateKey(p.keyval, p.state, false, true);
    EXPECT_EQ(m.forCore, p.virtualKey != NotForCore) << p.keyval;
    if (!m.forCore) continue;
    EXPECT_EQ(int(m.virtualKey), p.virtualKey) << p.keyval;
    EXPECT_EQ(m.character, p.character) << p.keyval;
    EXPECT_EQ(m.command, p.command) << p.keyval;
  }
  EXPECT_FALSE(platform::gtk::TranslateKey(GDK_KEY_a, None, true, true).forCore);  // GDK calls it a modifier
  EXPECT_FALSE(platform::gtk::TranslateKey(GDK_KEY_slash, Alt, false, false).forCore);  // no table yet
}

}  // namespace
