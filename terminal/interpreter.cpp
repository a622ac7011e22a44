#include "terminal/interpreter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "serial/transmit.h"
#include "terminal/screen.h"
#include "textpage/text_page.h"
#include "transfer/transfer_commands.h"

unsigned char LastReceivedByte;
int32_t OutputFrozen;
int32_t ParamCount;

namespace {

constexpr unsigned char LineFeed = 0x0A;
constexpr unsigned char CarriageReturn = 0x0D;
constexpr unsigned char Escape = 0x1B;
constexpr unsigned char ControlIntroducer = '[';

constexpr unsigned char IdentQuery[5] = {0xFF, 0x7F, 0x08, 0x0C, 0x0A};
constexpr char IdentReply[] = "MIRELOX     ";
constexpr int IdentReplyLength = 12;

bool ReadNextByte() {
  return readByteBlocking(LastReceivedByte);
}

void DrawCharacter(unsigned char byte) {
  platform::HideCaretBar();
  PendingText[0] = static_cast<char>(byte);
  PendingText[1] = 0;
  ShowPendingText();
  platform::ShowCaretBar();
}

// The device sends the row and column as two digits each around a separator. A field the
// sequence did not send reads as empty rather than as what an earlier send left in the buffer.
int32_t ParameterField(int start) {
  char field[3] = {};
  for (int i = 0; i < 2 && start + i < ParamCount; ++i)
    field[i] = static_cast<char>(TransmitBuffer[start + i]);
  return static_cast<int32_t>(std::strtol(field, nullptr, 10));
}

void PlaceCursorFromParameters() {
  const int32_t row = ParameterField(0);
  const int32_t column = ParameterField(3);
  CursorY = std::max(row - 1, 0) * LineHeight;  // row and column count from 1; 0 and less are the first
  CursorX = std::max(column - 1, 0) * CharWidth;
}

// Performs the command of a final letter; false when the byte is a parameter, not a command.
bool PerformCommand(unsigned char letter) {
  switch (letter) {
    case 'A':
      if (CursorY > LineHeight) CursorY -= LineHeight;
      return true;
    case 'B':
      CursorY += LineHeight;
      return true;
    case 'C':
      CursorX += CharWidth;
      return true;
    case 'D':
      if (CursorX > CharWidth) CursorX -= CharWidth;
      return true;
    case 'F':
      OutputFrozen = 1;
      return true;
    case 'H':
      PlaceCursorFromParameters();
      return true;
    case 'J':
      ClearScreen();
      CursorX = 0;
      CursorY = 0;
      return true;
    case 'R':
      SendFileToDevice();
      PendingText[0] = 0;
      return true;
    case 'T':
      ReceiveFileFromDevice();
      PendingText[0] = 0;
      return true;
    case 'U':
      OutputFrozen = 0;
      return true;
    case 'X':
      ShowTextPage();
      return true;
    default:
      return false;
  }
}

void HandleControlSequence() {
  ParamCount = 0;
  for (;;) {
    if (!ReadNextByte()) return;  // the device fell silent: the sequence is abandoned
    if (PerformCommand(LastReceivedByte)) break;
    // Parameters beyond the buffer are dropped; the sequence still runs to its letter.
    if (ParamCount < TransmitBufferSize) TransmitBuffer[ParamCount++] = LastReceivedByte;
  }
  platform::HideCaretBar();
  PlaceCaret();
  platform::ShowCaretBar();
}

// ESC 0xFF 0x7F 0x08 0x0C and one more byte of any value. Returns false if the device fell silent.
bool HandleIdentificationQuery() {
  int n = 0;
  do {
    if (!ReadNextByte()) return false;
    ++n;
  } while (n < 4 && LastReceivedByte == IdentQuery[n]);
  if (n == 4) {
    std::memcpy(TransmitBuffer, IdentReply, IdentReplyLength + 1);
    sendTransmitBuffer(IdentReplyLength);
  }
  return true;
}

void HandleEscape() {
  if (!ReadNextByte()) return;
  if (LastReceivedByte == IdentQuery[0] && !HandleIdentificationQuery()) return;
  // Also the byte that ended a query, matched or not, may open a control sequence.
  if (LastReceivedByte == ControlIntroducer) HandleControlSequence();
}

}  // namespace

void InterpretByte() {
  const unsigned char b = LastReceivedByte;
  if (b == LineFeed) {
    if (!OutputFrozen) CursorY += LineHeight;
  } else if (b == CarriageReturn) {
    if (!OutputFrozen) {
      CursorX = 0;
      CursorY += LineHeight;
    }
  } else if (b == Escape) {
    HandleEscape();
  } else if (!OutputFrozen) {
    DrawCharacter(b);
  }
}
