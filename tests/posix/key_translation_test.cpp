// Key presses as the core sees them: the virtual-key code of WM_KEYDOWN, the Windows-1252 code
// of the WM_CHAR that follows it, and the accelerators that Alt keys give.
#include "platform/gtk/key_translation.h"

#include <gtest/gtest.h>

namespace {

using platform::gtk::KeyMessages;
using platform::gtk::TranslateKey;

constexpr auto None = static_cast<GdkModifierType>(0);
constexpr auto Shift = GDK_SHIFT_MASK;
constexpr auto Control = GDK_CONTROL_MASK;
constexpr auto Alt = GDK_MOD1_MASK;

KeyMessages Press(guint keyval, GdkModifierType state = None) {
  return TranslateKey(keyval, state, false, true);
}

TEST(KeyTranslation, PrintableKeysGiveTheirWindowsCharacter) {
  EXPECT_EQ(Press(GDK_KEY_a).virtualKey, 'A');
  EXPECT_EQ(Press(GDK_KEY_a).character, 'a');
  EXPECT_EQ(Press(GDK_KEY_A, Shift).virtualKey, 'A');
  EXPECT_EQ(Press(GDK_KEY_A, Shift).character, 'A');
  EXPECT_EQ(Press(GDK_KEY_7).virtualKey, '7');
  EXPECT_EQ(Press(GDK_KEY_7).character, '7');
  EXPECT_EQ(Press(GDK_KEY_question, Shift).character, '?');
  EXPECT_EQ(Press(GDK_KEY_space).character, ' ');
  EXPECT_EQ(Press(GDK_KEY_aring).character, 0xE5);
  EXPECT_EQ(Press(GDK_KEY_AE, Shift).character, 0xC6);
  EXPECT_EQ(Press(GDK_KEY_oslash).character, 0xF8);
  EXPECT_EQ(Press(GDK_KEY_EuroSign).character, 0x80);
  EXPECT_EQ(Press(GDK_KEY_Cyrillic_a).character, -1);  // no such character in Windows-1252
  EXPECT_TRUE(Press(GDK_KEY_Cyrillic_a).forCore);      // the key-down still goes out
}

TEST(KeyTranslation, EditingKeysGiveTheirControlCodes) {
  EXPECT_EQ(Press(GDK_KEY_Return).virtualKey, 0x0Du);
  EXPECT_EQ(Press(GDK_KEY_Return).character, 0x0D);
  EXPECT_EQ(Press(GDK_KEY_Return, Control).character, 0x0A);
  EXPECT_EQ(Press(GDK_KEY_j, Control).virtualKey, 'J');
  EXPECT_EQ(Press(GDK_KEY_j, Control).character, 0x0A);
  EXPECT_EQ(Press(GDK_KEY_m, Control).character, 0x0D);
  EXPECT_EQ(Press(GDK_KEY_BackSpace).virtualKey, 0x08u);
  EXPECT_EQ(Press(GDK_KEY_BackSpace).character, 0x08);
  EXPECT_EQ(Press(GDK_KEY_BackSpace, Control).virtualKey, 0x08u);
  EXPECT_EQ(Press(GDK_KEY_BackSpace, Control).character, 0x7F);
  EXPECT_EQ(Press(GDK_KEY_Tab).character, 0x09);
  EXPECT_EQ(Press(GDK_KEY_Escape).character, 0x1B);
  EXPECT_EQ(Press(GDK_KEY_a, Control).character, 0x01);
  EXPECT_EQ(Press(GDK_KEY_Z, GdkModifierType(Control | Shift)).character, 0x1A);
  EXPECT_EQ(Press(GDK_KEY_1, Control).character, -1);
}

TEST(KeyTranslation, NavigationAndFunctionKeysGiveVirtualKeysOnly) {
  const struct {
    guint keyval;
    unsigned virtualKey;
  } keys[] = {
      {GDK_KEY_Page_Up, 0x21}, {GDK_KEY_Page_Down, 0x22}, {GDK_KEY_End, 0x23},    {GDK_KEY_Home, 0x24},
      {GDK_KEY_Left, 0x25},    {GDK_KEY_Up, 0x26},        {GDK_KEY_Right, 0x27},  {GDK_KEY_Down, 0x28},
      {GDK_KEY_KP_Left, 0x25}, {GDK_KEY_Insert, 0x2D},    {GDK_KEY_Delete, 0x2E}, {GDK_KEY_F1, 0x70},
      {GDK_KEY_F6, 0x75},      {GDK_KEY_F7, 0x76},        {GDK_KEY_F12, 0x7B},
  };
  for (const auto& key : keys) {
    KeyMessages messages = Press(key.keyval);
    EXPECT_TRUE(messages.forCore) << key.keyval;
    EXPECT_EQ(messages.virtualKey, key.virtualKey) << key.keyval;
    EXPECT_EQ(messages.character, -1) << key.keyval;
    EXPECT_EQ(messages.command, 0) << key.keyval;
  }
}

TEST(KeyTranslation, ModifierKeysAloneAreNotForTheCore) {
  EXPECT_FALSE(Press(GDK_KEY_Shift_L).forCore);
  EXPECT_FALSE(Press(GDK_KEY_Control_R, Control).forCore);
  EXPECT_FALSE(Press(GDK_KEY_Alt_L).forCore);
  EXPECT_FALSE(Press(GDK_KEY_ISO_Level3_Shift).forCore);
  EXPECT_FALSE(TranslateKey(GDK_KEY_a, None, true, true).forCore);  // GDK marked it a modifier
}

TEST(KeyTranslation, AltKeysReachOnlyTheAcceleratorTable) {
  KeyMessages about = Press(GDK_KEY_question, GdkModifierType(Alt | Shift));
  EXPECT_TRUE(about.forCore);
  EXPECT_EQ(about.command, 104);
  EXPECT_EQ(about.character, -1);
  EXPECT_EQ(Press(GDK_KEY_slash, Alt).command, 104);
  EXPECT_EQ(Press(GDK_KEY_KP_Divide, Alt).command, 104);
  EXPECT_FALSE(Press(GDK_KEY_a, Alt).forCore);  // left to GTK's mnemonics
  EXPECT_FALSE(Press(GDK_KEY_F4, Alt).forCore);
  EXPECT_FALSE(TranslateKey(GDK_KEY_slash, Alt, false, false).forCore);  // no table loaded yet
}

}  // namespace
