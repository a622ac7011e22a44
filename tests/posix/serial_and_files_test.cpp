// The POSIX layer against the real thing: the serial device over a pseudo-terminal, files in a
// temporary folder. Run as an unprivileged user (see as-user.sh): root passes checks a user meets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

class PseudoTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[256];
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    setenv("MIRELOX_COM1", name, 1);
    setenv("MIRELOX_COM2", "/nonexistent/serial-device", 1);
  }
  void TearDown() override {
    close(master_);
    close(slave_);
  }
  // The pty moves bytes between its ends asynchronously.
  static int WaitForCount(platform::SerialDevice* device, int expected) {
    for (int tries = 0; tries < 200 && platform::SerialBytesWaiting(device) < expected; ++tries) usleep(5000);
    return platform::SerialBytesWaiting(device);
  }
  int master_ = -1, slave_ = -1;
};

TEST_F(PseudoTerminal, OpensRaw4800EightNoneOneForOneOpenerAtATime) {
  EXPECT_EQ(platform::OpenSerialDevice(2), nullptr);
  for (int round = 0; round < 2; ++round) {  // the same user opens the port again after a close
    platform::SerialDevice* device = platform::OpenSerialDevice(1);
    ASSERT_NE(device, nullptr) << round;
    EXPECT_EQ(platform::OpenSerialDevice(1), nullptr);
    termios line{};
    ASSERT_EQ(tcgetattr(slave_, &line), 0);
    EXPECT_EQ(cfgetispeed(&line), speed_t(B4800));
    EXPECT_EQ(cfgetospeed(&line), speed_t(B4800));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              tcflag_t(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN] + line.c_cc[VTIME], 0);
    platform::CloseSerialDevice(device);
  }
}

TEST_F(PseudoTerminal, MovesBytesBothWaysUnchangedAndGivesUpOnAFullQueue) {
  platform::SerialDevice* device = platform::OpenSerialDevice(1);
  ASSERT_NE(device, nullptr);
  unsigned char buffer[8] = {};
  EXPECT_EQ(platform::ReadSerial(device, buffer, 8), 0);  // nothing there: returns at once
  // Bytes a cooked line would change or swallow: CR, LF, XON, XOFF, DEL and a high byte.
  const std::string bytes = "\r\n\x11\x13\x7f\x86";
  ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  ASSERT_EQ(WaitForCount(device, 6), 6);
  EXPECT_EQ(platform::ReadSerial(device, buffer, 4), 4);
  EXPECT_EQ(platform::ReadSerial(device, buffer + 4, 8), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), bytes);
  for (unsigned char byte : bytes) platform::WriteSerialByte(device, byte);
  std::string received(6, '\0');
  pollfd readable{master_, POLLIN, 0};
  for (size_t got = 0; got < 6 && poll(&readable, 1, 1000) == 1;) {
    got += std::max<ssize_t>(0, read(master_, &received[got], 6 - got));
  }
  EXPECT_EQ(received, bytes);
  // Nobody reads the other end: fill the output queue until it takes no more.
  ASSERT_EQ(fcntl(slave_, F_SETFL, fcntl(slave_, F_GETFL) | O_NONBLOCK), 0);
  char block[256] = {};
  while (write(slave_, block, sizeof block) > 0) {
  }
  const int64_t start = platform::NowMs();
  platform::WriteSerialByte(device, 'x');
  EXPECT_GE(platform::NowMs() - start, 900);  // it waited for room before giving up
  platform::CloseSerialDevice(device);
}

class Folder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("mirelox-posix-" + std::to_string(getpid()));
    fs::create_directories(root_ / "cwd");
    fs::create_directories(root_ / "path");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ / "cwd");
    setenv("PATH", (root_ / "path").c_str(), 1);
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
  }
  static void Write(const fs::path& path, const std::string& text) {
    ASSERT_TRUE(std::ofstream(path) << text) << path;
  }
  static std::string Read(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return fs::exists(path) ? text.str() : "<missing>";
  }
  static std::string Search(const char* name, const char* extension, int size = 512) {
    char found[512] = "";
    return platform::SearchFile(name, extension, found, size) ? found : "<not found>";
  }
  fs::path root_, oldCwd_;
};

TEST_F(Folder, SearchLooksInTheProgramsFolderThenTheCurrentOneThenPath) {
  const std::string name = "SEARCH" + std::to_string(getpid());
  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / (name + ".CFG");
  const fs::path current = root_ / "cwd" / (name + ".CFG"), path = root_ / "path" / (name + ".CFG");
  for (const fs::path& file : {path, current, program}) Write(file, "x");
  for (const fs::path& file : {program, current, path}) {
    EXPECT_EQ(Search(name.c_str(), ".CFG"), file.string());
    fs::remove(file);
  }
  EXPECT_EQ(Search(name.c_str(), ".CFG"), "<not found>");
  Write(root_ / "cwd" / "NOTE.TXT", "note");
  EXPECT_EQ(Search("NOTE.TXT", ".KVB"), (root_ / "cwd" / "NOTE.TXT").string());  // has an extension
  EXPECT_EQ(Search("NOTE", ".TXT"), (root_ / "cwd" / "NOTE.TXT").string());
  EXPECT_EQ(Search("note", ".TXT"), "<not found>");  // names are case-sensitive
  const int fits = static_cast<int>((root_ / "cwd" / "NOTE.TXT").string().size()) + 1;
  EXPECT_EQ(Search("NOTE", ".TXT", fits - 1), "<not found>");
}

TEST_F(Folder, OpensAreExclusiveAndOnlyANewNameIsCreated) {
  const std::string path = (root_ / "data.bin").string();
  EXPECT_EQ(platform::OpenFileForWriting(path.c_str()), platform::NoFile);  // writing never creates
  Write(path, "ABCDEF");
  platform::FileHandle reader = platform::OpenFileForReading(path.c_str());
  ASSERT_NE(reader, platform::NoFile);
  EXPECT_EQ(platform::OpenFileForReading(path.c_str()), platform::NoFile);
  EXPECT_EQ(platform::CreateNewFile(path.c_str()), platform::NoFile);
  char buffer[16] = {};
  EXPECT_EQ(platform::ReadFromFile(reader, buffer, 16), 6);
  EXPECT_TRUE(platform::CloseFile(reader));
  platform::FileHandle writer = platform::OpenFileForWriting(path.c_str());
  EXPECT_EQ(platform::WriteToFile(writer, "x", 1), 1);
  EXPECT_TRUE(platform::CloseFile(writer));
  EXPECT_EQ(Read(path), "xBCDEF");
  const std::string fresh = (root_ / "fresh.bin").string();
  platform::FileHandle created = platform::CreateNewFile(fresh.c_str());
  EXPECT_EQ(platform::WriteToFile(created, "new", 3), 3);
  EXPECT_TRUE(platform::FlushFile(created));
  EXPECT_TRUE(platform::CloseFile(created));
  EXPECT_TRUE(platform::ReplaceFile(fresh.c_str(), path.c_str()));
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(Read(fresh), "<missing>");
  EXPECT_TRUE(platform::RemoveFile(path.c_str()));
  EXPECT_FALSE(platform::RemoveFile(path.c_str()));
}

TEST(MonotonicTime, SleepLastsAtLeastItsLength) {
  const int64_t start = platform::NowMs();
  platform::SleepMs(25);
  EXPECT_GE(platform::NowMs() - start, 25);
}

}  // namespace
