// File transfers driven by the device: the terminal sends a file picked in its Open dialog, and
// saves what the device gives under a name picked in its Save dialog (a new name is confirmed, an
// existing file replaced). Protocol faults are recovered from; a cancelled dialog moves nothing;
// a device that falls silent mid-transfer is reported and leaves the file alone.
#include <filesystem>
#include <thread>

#include "support/terminal_test.h"

namespace e2e {
namespace {

using devsim::BlockSize;
using devsim::Bytes;

const std::string& OpenTitle() {
  return TestMessageLines[3];
}
const std::string& SaveTitle() {
  return TestMessageLines[5];
}

class TransferTest : public TerminalTest {
 protected:
  // Waits until the file no longer holds what it held before (the terminal writes it once the
  // transfer has ended, into a temporary file that then replaces it whole).
  Bytes ReadWhenChanged(const std::string& path, const Bytes& before) {
    auto deadline = std::chrono::steady_clock::now() + Millis(10000);
    Bytes bytes = workspace_.Read(path);
    while (bytes == before && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(Millis(100));
      bytes = workspace_.Read(path);
    }
    return bytes;
  }
};

Bytes Blocks(const Bytes& data, size_t first, size_t count) {
  return Bytes(data.begin() + first * BlockSize, data.begin() + (first + count) * BlockSize);
}

TEST_P(TransferTest, SendsTheChosenFileThroughRejectedBlockAndEot) {
  StartWithDevice();
  std::string path = workspace_.Path("files/out.bin");
  Bytes file = Pattern(300, 1);
  workspace_.Write(path, file);

  Device().RequestFileFromTerminal();
  ChooseFile(OpenTitle(), path);
  devsim::TakeResult taken = devsim::TakeFileFromTerminal(Device(), {2, true});

  ASSERT_TRUE(taken.completed) << taken.failure;
  Bytes padded = file;
  padded.resize(3 * BlockSize, 0);  // the rest of the last block comes from the untouched buffer
  EXPECT_EQ(taken.data, padded);
  EXPECT_EQ(taken.numbers, (std::vector<uint8_t>{1, 2, 2, 3})) << "block 2 was not sent again";
  EXPECT_EQ(taken.eotCount, 2);
  EXPECT_TRUE(WaitForTitle(1)) << WindowName(mainWindow_);
}

TEST_P(TransferTest, SavesIntoANewNameAndReplacesAnExistingFile) {
  StartWithDevice();
  std::string fresh = workspace_.Path("files/fresh.bin");
  Bytes data = Pattern(3 * BlockSize - 50, 2);
  Bytes padded = devsim::PadToBlocks(data, 0x1A);

  Device().OfferFileToTerminal();
  ChooseFile(SaveTitle(), fresh);
  ConfirmCreation(SaveTitle());
  devsim::GiveFaults faults;
  faults.noiseBeforeFirstSoh = true;
  faults.badChecksumBlock = 2;
  devsim::GiveResult given = devsim::GiveFileToTerminal(Device(), data, faults);
  ASSERT_TRUE(given.completed) << given.failure;
  EXPECT_EQ(given.naksReceived, 1) << "the bad checksum was not refused";
  EXPECT_EQ(ReadWhenChanged(fresh, {}), padded);

  std::string existing = workspace_.Path("files/existing.bin");
  workspace_.Write(existing, Bytes(1000, 'x'));
  Device().OfferFileToTerminal();
  ChooseFile(SaveTitle(), existing);
  faults = {};
  faults.missedAckBlock = 1;
  faults.noiseBetweenBlocks = true;
  given = devsim::GiveFileToTerminal(Device(), data, faults);
  ASSERT_TRUE(given.completed) << given.failure;
  // The block sent again after the lost ACK is the same block: it is stored once.
  EXPECT_EQ(ReadWhenChanged(existing, Bytes(1000, 'x')), padded);
}

TEST_P(TransferTest, MoreBlocksThanFitAreAcknowledgedAndCut) {
  StartWithDevice();
  std::string path = workspace_.Path("files/long.bin");
  workspace_.Write(path, Bytes(10, 'o'));
  Bytes data = Pattern(72 * BlockSize, 4);

  Device().OfferFileToTerminal();
  ChooseFile(SaveTitle(), path);
  devsim::GiveResult given = devsim::GiveFileToTerminal(Device(), data);
  ASSERT_TRUE(given.completed) << given.failure;
  WindowId box = ExpectErrorBox("The received file was too long and has been cut at 8960 bytes.");
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_EQ(ReadWhenChanged(path, Bytes(10, 'o')), Blocks(data, 0, 70));
}

TEST_P(TransferTest, CancelledDialogsMoveNothing) {
  StartWithDevice();
  Device().RequestFileFromTerminal();
  CancelFileDialog(OpenTitle());
  Device().OfferFileToTerminal();
  CancelFileDialog(SaveTitle());
  EXPECT_EQ(devsim::Printable(Device().ReceiveFor(Millis(1500))), "") << "the terminal sent after a cancel";
  SyncWith(Device());
}

TEST_P(TransferTest, SilentDeviceIsReportedAndTheFileLeftAlone) {
  StartWithDevice();
  std::string existing = workspace_.Path("files/kept.bin");
  Bytes before(700, 'k');
  workspace_.Write(existing, before);

  Device().OfferFileToTerminal();
  ChooseFile(SaveTitle(), existing);
  devsim::GiveFaults faults;
  faults.silentInBlock = 2;
  devsim::GiveFileToTerminal(Device(), Pattern(4 * BlockSize, 3), faults);
  WindowId box = ExpectErrorBox("ERROR: No connection!");
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_EQ(workspace_.Read(existing), before);
  SyncWith(Device());
}

E2E_FOR_BOTH_PROGRAMS(TransferTest);

}  // namespace
}  // namespace e2e
