// A received file saved onto a full disk: the program reports that the file cannot be created, the
// file it was to replace keeps its old bytes and no temporary file stays. Once there is room, the
// same transfer saves the file.
#include <filesystem>

#include "support/fault_injection.h"
#include "support/terminal_test.h"

namespace e2e {
namespace {

using devsim::BlockSize;
using devsim::Bytes;

constexpr size_t DiskSize = 64 * 1024;
constexpr uint64_t PageSize = 4096;

using FaultDiskFullTest = TerminalTest;

TEST_P(FaultDiskFullTest, FullDiskKeepsTheExistingFileAndLeavesNoPartFile) {
  std::string folder = workspace_.Path("disk");
  std::filesystem::create_directories(folder);
  TinyDisk disk(folder, DiskSize);
  ASSERT_TRUE(disk.Mounted()) << disk.Error();
  std::string target = folder + "/saved.bin";
  Bytes old(1000, 'e');
  workspace_.Write(target, old);
  ASSERT_TRUE(disk.FillLeaving("filler", PageSize)) << "free: " << disk.FreeBytes();
  Bytes data = Pattern(40 * BlockSize, 8);  // more than the page left

  AddDevice(1);
  workspace_.WriteConfiguration('1');
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  Device().OfferFileToTerminal();
  ChooseFile(TestMessageLines[5], target);
  devsim::GiveResult given = devsim::GiveFileToTerminal(Device(), data);
  ASSERT_TRUE(given.completed) << given.failure;
  WindowId box = ExpectErrorBox(TestMessageLines[7]);
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_EQ(workspace_.Read(target), old) << "the file to be replaced was changed";
  EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"filler", "saved.bin"}));
  EXPECT_EQ(disk.FreeBytes(), PageSize) << "the failed save still holds space";

  std::filesystem::remove(folder + "/filler");
  Device().OfferFileToTerminal();
  ChooseFile(TestMessageLines[5], target);
  given = devsim::GiveFileToTerminal(Device(), data);
  ASSERT_TRUE(given.completed) << given.failure;
  SyncWith(Device());
  EXPECT_EQ(workspace_.Read(target), data) << "with room on the disk the file was not saved";
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"saved.bin"});
}

E2E_FOR_BOTH_PROGRAMS(FaultDiskFullTest);

}  // namespace
}  // namespace e2e
