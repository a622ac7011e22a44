// A terminal with its window open and the focus in it, over the fake platform, and helpers that make
// a test read like the conversation on the line.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/fake/fake_platform.h"

// Ten message lines whose text tells where each one shows up.
extern const char StandardConfiguration[];

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Every core state and the fake world back to what a process starts with.
void ResetCoreState();
// Every core state back to start-up values, the fake world new, the configuration loaded from
// StandardConfiguration, the window open with its font and the focus, COM1 open.
void StartTerminal();
// The device sends bytes; the terminal takes them as the main loop does, until none is due.
void Receive(const std::string& bytes);
// Takes due bytes and window messages alternately, as the main loop does, until both are done.
void RunLoopUntilIdle();
std::string Hex(const std::string& bytes);
