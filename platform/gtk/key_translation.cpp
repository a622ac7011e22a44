#include "platform/gtk/key_translation.h"

#include "app/window_messages.h"
#include "platform/gtk/code_page.h"

namespace platform::gtk {

namespace {

constexpr unsigned NoVirtualKey = 0xFF;  // what Windows reports for keys it has no code for

unsigned VirtualKeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_BackSpace:
      return vk::Back;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return 0x09;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return 0x0D;
    case GDK_KEY_Escape:
      return 0x1B;
    case GDK_KEY_space:
      return 0x20;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
      return vk::Prior;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
      return vk::Next;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
      return vk::End;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
      return vk::Home;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return vk::Left;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return vk::Up;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return vk::Right;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return vk::Down;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert:
      return 0x2D;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      return 0x2E;
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return vk::F1 + (keyval - GDK_KEY_F1);
  guint upper = gdk_keyval_to_upper(keyval);
  if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) return upper;
  return NoVirtualKey;
}

// The character TranslateMessage would add to the key-down, or -1.
int CharacterOf(guint keyval, bool control) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return control ? 0x0A : 0x0D;
    case GDK_KEY_BackSpace:
      return control ? 0x7F : 0x08;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return control ? -1 : 0x09;
    case GDK_KEY_Escape:
      return control ? -1 : 0x1B;
  }
  guint32 codePoint = gdk_keyval_to_unicode(keyval);
  if (control) {
    guint32 lower = gdk_keyval_to_unicode(gdk_keyval_to_lower(keyval));
    if (lower >= 'a' && lower <= 'z') return static_cast<int>(lower - 'a' + 1);
    if (codePoint == ' ') return ' ';
    return -1;
  }
  // Only printable characters: DEL and the C1 controls come from no key of a real keyboard.
  if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) return -1;
  return WindowsByteOf(codePoint);
}

bool IsModifierKey(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R:
    case GDK_KEY_Super_L:
    case GDK_KEY_Super_R:
    case GDK_KEY_Hyper_L:
    case GDK_KEY_Hyper_R:
    case GDK_KEY_Caps_Lock:
    case GDK_KEY_Shift_Lock:
    case GDK_KEY_Num_Lock:
    case GDK_KEY_ISO_Level3_Shift:
    case GDK_KEY_ISO_Level5_Shift:
    case GDK_KEY_Mode_switch:
      return true;
  }
  return false;
}

}  // namespace

KeyMessages TranslateKey(guint keyval, GdkModifierType state, bool isModifier, bool acceleratorsLoaded) {
  KeyMessages messages;
  if (isModifier || IsModifierKey(keyval)) return messages;
  if ((state & GDK_MOD1_MASK) != 0) {
    // Alt keys are system keys on Windows: only the accelerator table looks at them.
    guint32 typed = gdk_keyval_to_unicode(keyval);
    if (acceleratorsLoaded && (typed == '?' || typed == '/')) {
      messages.forCore = true;
      messages.command = cmd::About;
    }
    return messages;
  }
  messages.forCore = true;
  messages.virtualKey = VirtualKeyOf(keyval);
  messages.character = CharacterOf(keyval, (state & GDK_CONTROL_MASK) != 0);
  return messages;
}

}  // namespace platform::gtk
