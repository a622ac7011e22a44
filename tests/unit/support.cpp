#include "tests/unit/support.h"

#include <algorithm>
#include <cstring>
#include <regex>

#include "app/main_window.h"
#include "app/program.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "serial/serial_port.h"
#include "serial/transmit.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"
#include "transfer/block_protocol.h"
#include "transfer/transfer_commands.h"

// clang-format off
const char StandardConfiguration[] =
    "1\r\nline zero\r\nText page not found: \r\nBinary files\r\nSend which file?\r\nline four\r\n"
    "Save the received file as\r\nReceiving block \r\nCannot create the file\r\nCannot open the file\r\n"
    "Sending block \r\n";
// clang-format on
const char NormalTitle[] =
    " Mirelox v2.2  |   COM1: 4800 8N1   |   select comport F1..F6   |   (c) Mirelox Instruments";

void ResetCore() {
  EndLineLog();
  ComPort.close();
  fake::Reset();
  std::memset(TransmitBuffer, 0, sizeof TransmitBuffer);
  std::memset(TransferBuffer, 0, sizeof TransferBuffer);
  InitScreen();
  CursorX = CursorY = 0;
  LineHeight = CharWidth = MarginX = MarginY = 0;
  PendingText[0] = 0;
  FilterList[0] = 0;
  OutputFrozen = 0;
  CurrentPort = 0;
}

void StartTerminal() {
  ResetCore();
  fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  LoadConfiguration();
  CurrentPort = 1;
  platform::RegisterMainWindowClass("MIRELOX");
  platform::OpenMainWindow("MIRELOX", "mirelox");
  CreateScreenFont();
  ComPort.open(1);
  MainWindowProc(msg::SetFocus, 0, 0);
  fake::world.calls.clear();
}

void Receive(const std::string& bytes) {
  fake::DeviceSends(bytes);
  while (ComPort.bytesWaiting() > 0) {
    ComPort.read(&LastReceivedByte, 1);
    InterpretByte();
  }
}

void RunLoopUntilIdle() {
  int code = 0;
  while (TakeTurn(&code) == Turn::Busy) {
  }
}

void AnswerInTurns(std::vector<std::string> turns) {
  fake::world.answer = [turns = std::move(turns), next = size_t(0)](unsigned char) mutable {
    return next < turns.size() ? turns[next++] : std::string();
  };
}

void ExpectMessage(const std::string& text, bool owned) {
  ASSERT_EQ(fake::world.messages.size(), text.empty() ? 0u : 1u);
  if (text.empty()) return;
  EXPECT_EQ(fake::world.messages[0].text, text);
  EXPECT_EQ(fake::world.messages[0].owned, owned);
}

void ExpectInOrder(const std::vector<std::string>& calls) {
  const auto& made = fake::world.calls;
  auto at = made.begin();
  for (const std::string& call : calls) {
    at = std::find_if(at, made.end(), [&](const std::string& c) { return c.rfind(call, 0) == 0; });
    ASSERT_NE(at, made.end()) << call << " is missing or out of order";
    ++at;
  }
}

static std::string Trimmed(std::string text) {
  return text.erase(text.find_last_not_of(' ') + 1);
}

std::string Row(int row) {
  return Trimmed(std::string(reinterpret_cast<char*>(ScreenBuffer) + row * ScreenColumns, ScreenColumns));
}

std::vector<std::string> Rows(int through) {
  std::vector<std::string> rows;
  for (int r = 0; r <= through; ++r) rows.push_back(Row(r));
  return rows;
}

std::vector<std::string> VisibleRows(int through) {
  std::vector<std::string> rows;
  for (int r = 0; r <= through; ++r) rows.push_back(Trimmed(fake::VisibleRow(r)));
  return rows;
}

std::vector<std::string> Padded(std::vector<std::string> rows) {
  rows.resize(ScreenRows);
  return rows;
}

std::pair<int, int> Cursor() {  // -1 for a position between cells
  return {CursorX % CharWidth ? -1 : CursorX / CharWidth, CursorY % LineHeight ? -1 : CursorY / LineHeight};
}

std::string CaseName(const char* rowName) {
  return std::regex_replace(rowName, std::regex("[^A-Za-z0-9]+"), "_");
}

std::string A(int count) {
  return std::string(count, 'a');
}

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) out += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return out;
}
