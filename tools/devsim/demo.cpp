#include "devsim/demo.h"

#include <numeric>
#include <string>
#include <thread>

#include "devsim/block_transfer.h"

namespace devsim {

namespace {

constexpr Millis WaitForUser(60000);
// Invitations to send wait in the line while the Open dialog is up; after a cancel nobody takes
// them and each one shows on the terminal as a box: a slow rate keeps those to a few.
constexpr Millis InviteInterval(5000);
constexpr int PromptRow = 20;

// The six Scandinavian letters as the device's code page 850 has them.
const char ScandinavianLetters[] = "\x86 \x8F \x91 \x92 \x9B \x9D";

void DrawMenu(Device& device, const std::string& status) {
  device.ClearScreen();
  device.PutText(1, 3, "Mirelox device simulator - demo");
  device.PutText(2, 3, std::string("Nordic letters: ") + ScandinavianLetters);
  device.PutText(4, 3, "1  send me a file            2  take a file from me");
  device.PutText(5, 3, "3  show text page 00001      4  show text page 00002");
  device.PutText(6, 3, "5  freeze output for 3 s     6  ask who you are");
  device.PutText(7, 3, "7  move the cursor around    8  fill the screen past its end");
  device.PutText(8, 3, "9  this menu again           anything else is echoed");
  device.PutText(10, 3, "Text pages: put TXT00001.KVB and TXT00002.KVB beside MIRELOX.CFG");
  if (!status.empty()) device.PutText(12, 3, status);
  device.PutText(PromptRow, 1, "> ");
}

std::string TakeFile(Device& device) {
  device.RequestFileFromTerminal();
  auto result = TakeFileFromTerminal(device, {}, WaitForUser, InviteInterval);
  if (!result.completed) return "No file came: " + result.failure;
  unsigned sum = std::accumulate(result.data.begin(), result.data.end(), 0u);
  return "Received " + std::to_string(result.blocksAccepted) + " blocks, byte sum " + std::to_string(sum);
}

Bytes DemoFile() {
  std::string text;
  for (int line = 1; line <= 8; ++line)
    text += "Line " + std::to_string(line) + " of the file the demo device gives away.\r\n";
  return ToBytes(text);
}

std::string GiveFile(Device& device) {
  Bytes data = DemoFile();
  device.OfferFileToTerminal();
  auto result = GiveFileToTerminal(device, data, {}, WaitForUser);
  if (!result.completed) return "The file did not go: " + result.failure;
  return "Gave " + std::to_string(data.size()) + " bytes in " + std::to_string(result.blocksSent) + " blocks";
}

void FreezeAWhile(Device& device) {
  device.ClearScreen();
  device.PutText(1, 1, "Output freezes now for 3 seconds.");
  device.Freeze();
  device.Send("\r\nThis line is sent while frozen and never shows.");
  std::this_thread::sleep_for(Millis(3000));
  device.Unfreeze();
  device.PutText(3, 1, "Output resumed. Press 9 for the menu.");
}

void MoveCursorAround(Device& device) {
  device.ClearScreen();
  device.PutText(10, 40, "*");
  // Each step goes back onto the star just drawn, moves one cell and draws the next one.
  const char* moves[] = {"\x1b[A", "\x1b[C", "\x1b[B", "\x1b[B", "\x1b[D", "\x1b[D", "\x1b[A", "\x1b[A"};
  for (const char* move : moves) {
    std::this_thread::sleep_for(Millis(300));
    device.CursorLeft();
    device.Send(move);
    device.Send("*");
  }
  device.PutText(16, 1, "The stars walked around the one at row 10, column 40. Press 9 for the menu.");
}

void OverfillScreen(Device& device) {
  device.ClearScreen();
  for (int line = 1; line <= 32; ++line) {
    device.Send("Line " + std::to_string(line) + ": past row 27 the screen starts again at the top\r");
    std::this_thread::sleep_for(Millis(40));
  }
}

}  // namespace

int RunDemo(Device& device, Session& session) {
  DrawMenu(device, "");
  while (session.Running()) {
    uint8_t key;
    if (!device.ReceiveByte(&key, Millis(100))) continue;
    switch (key) {
      case '1':
        DrawMenu(device, TakeFile(device));
        break;
      case '2':
        DrawMenu(device, GiveFile(device));
        break;
      case '3':
      case '4':
        device.ClearScreen();
        device.RequestTextPage(key == '3' ? "00001" : "00002");
        break;
      case '5':
        FreezeAWhile(device);
        break;
      case '6':
        DrawMenu(device, "The terminal says: \"" + Printable(device.QueryIdentification()) + "\"");
        break;
      case '7':
        MoveCursorAround(device);
        break;
      case '8':
        OverfillScreen(device);
        break;
      case '9':
        DrawMenu(device, "");
        break;
      default:
        device.Send(Bytes{key});
    }
  }
  return 0;
}

}  // namespace devsim
