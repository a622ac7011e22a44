// A configuration file that cannot be opened any more when a port is chosen (F2 writes the port
// into it): the program shows the fatal missing-configuration box, ends with code 1 after Return,
// and leaves the file as it was.
#include <filesystem>

#include "support/fault_injection.h"
#include "support/terminal_test.h"

namespace e2e {
namespace {

using devsim::Bytes;

const char FatalText[] =
    "ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.";

class FaultConfigurationTest : public TerminalTest {
 protected:
  void StartWithTwoDevices() {
    AddDevice(1);
    AddDevice(2);  // so that F2 itself succeeds and only the configuration fails
    workspace_.WriteConfiguration('1');
    StartProgram();
    ASSERT_NE(WaitForMainWindow(1), "");
  }

  void PressF2AndExpectTheFatalEnd() {
    FocusWindow(mainWindow_);
    PressKeys({"F2"});
    WindowId box = ExpectErrorBox(FatalText);
    ASSERT_NE(box, "");
    CloseBox(box);
    EXPECT_EQ(WaitForExit(), 1);
  }
};

TEST_P(FaultConfigurationTest, ConfigurationReplacedByAFolderStopsTheProgramAtF2) {
  StartWithTwoDevices();
  Bytes original = workspace_.Read(ConfigPath());
  std::string movedAway = workspace_.Path("MIRELOX.CFG.moved");
  std::filesystem::rename(ConfigPath(), movedAway);
  std::filesystem::create_directory(ConfigPath());

  PressF2AndExpectTheFatalEnd();
  EXPECT_TRUE(std::filesystem::is_directory(ConfigPath())) << "the folder was replaced";
  EXPECT_EQ(FolderEntries(ConfigPath()), std::vector<std::string>{})
      << "something was written into the folder";
  EXPECT_EQ(workspace_.Read(movedAway), original);
}

E2E_FOR_BOTH_PROGRAMS(FaultConfigurationTest);

// The Linux program opens every file under an exclusive flock, as Windows opens it with no sharing.
// Wine keeps its sharing modes in wineserver and ignores a lock taken outside Wine, so the locked
// file is a Linux case only.
using FaultConfigurationLockTest = FaultConfigurationTest;

TEST_P(FaultConfigurationLockTest, ConfigurationLockedByAnotherProcessStopsTheProgramAtF2) {
  StartWithTwoDevices();
  Bytes original = workspace_.Read(ConfigPath());
  HeldLock lock(ConfigPath());
  ASSERT_TRUE(lock.Locked()) << "the test could not lock " << ConfigPath();

  PressF2AndExpectTheFatalEnd();
  EXPECT_EQ(workspace_.Read(ConfigPath()), original);
}

INSTANTIATE_TEST_SUITE_P(Programs, FaultConfigurationLockTest, testing::Values(ProgramKind::Linux),
                         ProgramParamName);

}  // namespace
}  // namespace e2e
