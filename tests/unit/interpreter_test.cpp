#include "terminal/interpreter.h"

#include <gtest/gtest.h>

#include <string>

#include "serial/transmit.h"
#include "terminal/screen.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

using Interpreter = TerminalTest;
constexpr int H = fake::LineHeight;
constexpr int W = fake::CharWidth;
const std::string Query("\x1b\xff\x7f\x08\x0c\x0a", 6);

std::string BufferRow(int row) {
  return std::string(reinterpret_cast<char*>(ScreenBuffer) + row * 80, 80);
}

TEST_F(Interpreter, CarriageReturnAndLineFeedMoveTheCursorButNotTheCaret) {
  Receive("abc\r");
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, H);
  Receive("de\n");
  EXPECT_EQ(CursorX, 2 * W);
  EXPECT_EQ(CursorY, 2 * H);
  Receive("\r\n");
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 4 * H);
  EXPECT_EQ(fake::world.caretY, 2 * H + H + H);  // still under row 1, where "de" ended
}

TEST_F(Interpreter, CursorCommandsStopShortOfRowAndColumnZero) {
  Receive("\x1b[A\x1b[D");
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
  CursorX = W;
  CursorY = H;
  Receive("\x1b[A\x1b[D");
  EXPECT_EQ(CursorX, W);
  EXPECT_EQ(CursorY, H);
  CursorX = 2 * W;
  CursorY = 2 * H;
  Receive("\x1b[A\x1b[D");
  EXPECT_EQ(CursorX, W);
  EXPECT_EQ(CursorY, H);
  for (int i = 0; i < 100; ++i) Receive("\x1b[B\x1b[C");
  EXPECT_EQ(CursorX, 101 * W);
  EXPECT_EQ(CursorY, 101 * H);
  Receive("\x1b[123B");  // parameters are stored and ignored
  EXPECT_EQ(CursorY, 102 * H);
  Receive("\x1b[aB");  // lower case is a parameter; B ends the sequence
  EXPECT_EQ(CursorY, 103 * H);
}

TEST_F(Interpreter, PositionTakesRowAndColumnFromTwoDigitFields) {
  Receive("\x1b[05;12H");
  EXPECT_EQ(CursorY, 4 * H);
  EXPECT_EQ(CursorX, 11 * W);
  Receive("\x1b[00;00H");
  EXPECT_EQ(CursorY, 0);
  EXPECT_EQ(CursorX, 0);
  Receive("\x1b[10;10H\x1b[-5;-5H");
  EXPECT_EQ(CursorY, 0);
  EXPECT_EQ(CursorX, 0);
  Receive("\x1b[ 7;+3H");
  EXPECT_EQ(CursorY, 6 * H);
  EXPECT_EQ(CursorX, 2 * W);
  // Fields this sequence did not send are empty, whatever an earlier send left behind.
  Receive("\x1b[12;34H\x1b[3H");
  EXPECT_EQ(CursorY, 2 * H);
  EXPECT_EQ(CursorX, 0);

  Receive("\x1b[99;99Hq");  // wraps, then clears, and draws at the top left
  EXPECT_EQ(BufferRow(0), "q" + std::string(79, ' '));
  EXPECT_EQ(CursorX, W);
  EXPECT_EQ(CursorY, 0);
}

TEST_F(Interpreter, FreezeStopsTextButNotCommands) {
  Receive(
      "a\x1b[F"
      "bc\r\n");
  EXPECT_EQ(BufferRow(0).substr(0, 3), "a  ");
  EXPECT_EQ(CursorX, W);
  EXPECT_EQ(CursorY, 0);
  Receive("\x1b[B");
  EXPECT_EQ(CursorY, H);
  Receive(Query);
  EXPECT_EQ(fake::SentBytes(), "MIRELOX     ");
  Receive("\x1b[J");
  EXPECT_EQ(BufferRow(0), std::string(80, ' '));
  Receive(
      "\x1b[F\x1b[U"
      "d");  // a repeated freeze changes nothing; U resumes
  EXPECT_EQ(BufferRow(0).substr(0, 1), "d");
}

TEST_F(Interpreter, IdentificationQueryIsAnsweredWithPacedReply) {
  Receive(Query);
  ASSERT_EQ(fake::SentBytes(), "MIRELOX     ");
  for (size_t i = 1; i < fake::world.sent.size(); ++i) {
    EXPECT_EQ(fake::world.sent[i].atUs - fake::world.sent[i - 1].atUs, 5000) << i;
  }
  EXPECT_EQ(BufferRow(0), std::string(80, ' '));  // nothing on the screen

  fake::ClearSent();
  Receive(
      std::string("\x1b\xff\x7f\x08\x0c"
                  "A",
                  6));  // any fifth byte
  EXPECT_EQ(fake::SentBytes(), "MIRELOX     ");

  fake::ClearSent();
  Receive(
      std::string("\x1b\xff\x7f\x09"
                  "k",
                  5));  // mismatch: consumed, no reply
  EXPECT_EQ(fake::SentBytes(), "");
  EXPECT_EQ(BufferRow(0).substr(0, 2), "k ");

  Receive("\x1b\xff[B");  // the byte that broke the query opens a sequence
  EXPECT_EQ(fake::SentBytes(), "");
  EXPECT_EQ(CursorY, H);

  Receive("z" + std::string("\x1b\xff\x7f\x08\x0c[J", 7));
  EXPECT_EQ(fake::SentBytes(), "MIRELOX     ");
  EXPECT_EQ(BufferRow(0), std::string(80, ' '));
}

TEST_F(Interpreter, EscapeSwallowsTheByteAfterIt) {
  Receive("\x1bQ");
  EXPECT_EQ(CursorX, 0);
  Receive("\x1b\x1b[A");  // the second ESC is the swallowed byte; [ and A are drawn
  EXPECT_EQ(BufferRow(0).substr(0, 3), "[A ");
}

TEST_F(Interpreter, AFloodOfParametersStaysInsideTheBuffer) {
  Receive("\x1b[" + std::string(10000, '7') + "B" + "x");
  EXPECT_EQ(CursorY, H);
  EXPECT_EQ(BufferRow(1).substr(0, 2), "x ");
  EXPECT_EQ(ParamCount, TransmitBufferSize);
}

TEST_F(Interpreter, ASequenceCutOffBySilenceIsAbandoned) {
  fake::DeviceSends("\x1b[0");
  fake::DeviceSends("5;05Hx", 11000);  // after the terminal has given up
  RunLoopUntilIdle();
  fake::AdvanceMs(2000);
  RunLoopUntilIdle();
  EXPECT_EQ(CursorY, 0);
  EXPECT_EQ(BufferRow(0).substr(0, 7), "5;05Hx ");
}

}  // namespace
