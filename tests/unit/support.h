// The core over the fake platform as a test finds it: a terminal started with StandardConfiguration,
// its window open with the focus, COM1 open; and helpers that make a case read like the line.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"

// Ten message lines whose text tells where each one shows up.
extern const char StandardConfiguration[];
extern const char NormalTitle[];  // with COM1 open

// Every core state and the fake world back to what a process starts with.
void ResetCore();
void StartTerminal();
// The device sends bytes; the terminal takes each as the main loop does, until none is due.
void Receive(const std::string& bytes);
// One message and at most one byte per turn, as the main loop does, until neither is left.
void RunLoopUntilIdle();
// The device answers each byte the terminal writes with the next of these turns (nothing once
// they run out): a conversation scripted from the device's side.
void AnswerInTurns(std::vector<std::string> turns);
// The message boxes shown: none, or this one, owned by the main window unless said otherwise.
void ExpectMessage(const std::string& text, bool owned = true);
// Each call (by its start) comes after the one before it in the fake's record.
void ExpectInOrder(const std::vector<std::string>& calls);
std::string Row(int row);                                // a row of ScreenBuffer without its trailing blanks
std::vector<std::string> Rows(int through = 24);         // rows 0 to through
std::vector<std::string> VisibleRows(int through = 24);  // the same rows as the window shows them
std::vector<std::string> Padded(std::vector<std::string> rows);  // blank rows up to 25
std::pair<int, int> Cursor();                                    // column and row
std::string Hex(const std::string& bytes);                       // "1b5b41"
std::string A(int count);                                        // that many letters a

class Terminal : public ::testing::Test {
 protected:
  void SetUp() override { StartTerminal(); }
  void TearDown() override { ResetCore(); }
};

class Program : public Terminal {  // nothing started yet, MIRELOX.CFG in the program's folder
 protected:
  void SetUp() override {
    ResetCore();
    fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  }
};

// A table whose rows are cases named and printed after the row: TEST_P(Suite, ...), ROWS(Suite, Table).
template <class Row, class Base = Terminal>
class TableOf : public Base, public ::testing::WithParamInterface<Row> {};
std::string CaseName(const char* rowName);  // the row's name in [A-Za-z0-9_]
#define ROWS(suite, table)                                                     \
  void PrintTo(const std::decay_t<decltype(*table)>& row, std::ostream* out) { \
    *out << row.name;                                                          \
  }                                                                            \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::ValuesIn(table),                \
                           [](const auto& row) { return CaseName(row.param.name); })
