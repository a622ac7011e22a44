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

std::string Read(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return fs::exists(path) ? text.str() : "<missing>";
}

std::string Search(const std::string& name, const char* extension, int size = 512) {
  char found[512] = "";
  return platform::SearchFile(name.c_str(), extension, found, size) ? found : "<not found>";
}

TEST(Files, SearchOrderAndExclusiveOpensThatNeverCreateOverAFile) {
  const fs::path root = fs::temp_directory_path() / ("mirelox-posix-" + std::to_string(getpid()));
  fs::create_directories(root / "path");
  const fs::path oldCwd = fs::current_path();
  fs::current_path(root);
  setenv("PATH", (root / "path").c_str(), 1);
  const std::string name = "SEARCH" + std::to_string(getpid());  // program's folder, current one, PATH
  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / (name + ".CFG");
  for (const fs::path& file : {root / "path" / (name + ".CFG"), root / (name + ".CFG"), program}) {
    ASSERT_TRUE(std::ofstream(file) << "x") << file;
  }
  for (const fs::path& file : {program, root / (name + ".CFG"), root / "path" / (name + ".CFG")}) {
    EXPECT_EQ(Search(name, ".CFG"), file.string());
    fs::remove(file);
  }
  const std::string path = (root / "NOTE.TXT").string();
  EXPECT_EQ(platform::OpenFileForWriting(path.c_str()), platform::NoFile);  // writing never creates
  platform::FileHandle file = platform::CreateNewFile(path.c_str());
  EXPECT_EQ(platform::WriteToFile(file, "ABCDEF", 6), 6);
  EXPECT_TRUE(platform::FlushFile(file) && platform::CloseFile(file));
  EXPECT_EQ(Search("NOTE.TXT", ".KVB") + Search("NOTE", ".TXT"), path + path);  // an extension is kept
  EXPECT_EQ(Search("note", ".TXT") + Search("NOTE", ".TXT", int(path.size())), "<not found><not found>");
  file = platform::OpenFileForReading(path.c_str());
  EXPECT_EQ(platform::OpenFileForReading(path.c_str()), platform::NoFile);
  EXPECT_EQ(platform::CreateNewFile(path.c_str()), platform::NoFile);
  char buffer[16] = {};
  EXPECT_EQ(platform::ReadFromFile(file, buffer, 16), 6);
  EXPECT_TRUE(platform::CloseFile(file));
  file = platform::OpenFileForWriting(path.c_str());
  EXPECT_EQ(platform::WriteToFile(file, "x", 1), 1);
  EXPECT_TRUE(platform::CloseFile(file));
  const std::string fresh = (root / "fresh.tmp").string();
  EXPECT_TRUE(platform::CloseFile(platform::CreateNewFile(fresh.c_str())));
  EXPECT_TRUE(platform::ReplaceFile(path.c_str(), fresh.c_str()));
  EXPECT_EQ(Read(fresh) + Read(path), "xBCDEF<missing>");
  EXPECT_TRUE(platform::RemoveFile(fresh.c_str()));
  EXPECT_FALSE(platform::RemoveFile(fresh.c_str()));
  fs::current_path(oldCwd);
  fs::remove_all(root);
}

}  // namespace
