#include "devsim/device.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace devsim {

namespace {

void MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return;
  cfmakeraw(&settings);
  cfsetispeed(&settings, B4800);
  cfsetospeed(&settings, B4800);
  tcsetattr(fd, TCSANOW, &settings);
}

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::string Printable(const Bytes& bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

Device::Device(std::string linkPath) : linkPath_(std::move(linkPath)) {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw SystemError("openpty");
  slavePath_ = name;
  MakeRaw(slave_);
  MakeRaw(master_);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  unlink(linkPath_.c_str());
  if (symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) {
    close(master_);
    close(slave_);
    throw SystemError("symlink " + linkPath_);
  }
  if (pipe2(stopPipe_, O_CLOEXEC) != 0) throw SystemError("pipe");
  reader_ = std::thread([this] { ReadLoop(); });
}

Device::~Device() {
  char stop = 1;
  if (write(stopPipe_[1], &stop, 1) < 0) std::perror("devsim stop");
  reader_.join();
  close(stopPipe_[0]);
  close(stopPipe_[1]);
  close(master_);
  close(slave_);
  unlink(linkPath_.c_str());
}

void Device::ReadLoop() {
  pollfd fds[2] = {{master_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    uint8_t buffer[512];
    ssize_t count = read(master_, buffer, sizeof buffer);
    if (count <= 0) continue;
    auto now = Clock::now();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (ssize_t i = 0; i < count; ++i) queue_.push_back({buffer[i], now});
      received_.insert(received_.end(), buffer, buffer + count);
    }
    arrived_.notify_all();
  }
}

void Device::Send(const Bytes& bytes, Millis pace) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  size_t step = pace.count() > 0 ? 1 : bytes.size();
  for (size_t done = 0; done < bytes.size();) {
    ssize_t count = write(master_, bytes.data() + done, std::min(step, bytes.size() - done));
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        std::this_thread::sleep_for(Millis(1));
        continue;
      }
      throw SystemError("write to pty");
    }
    sent_.insert(sent_.end(), bytes.begin() + done, bytes.begin() + done + count);
    done += static_cast<size_t>(count);
    if (pace.count() > 0) std::this_thread::sleep_for(pace);
  }
}

Bytes Device::SentSoFar() {
  std::lock_guard<std::mutex> lock(writeMutex_);
  return sent_;
}

Bytes Device::ReceivedSoFar() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void Device::Send(std::string_view text, Millis pace) {
  Send(ToBytes(text), pace);
}

std::vector<TimedByte> Device::ReceiveTimed(size_t count, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait_until(lock, deadline, [&] { return queue_.size() >= count; });
  size_t taken = std::min(count, queue_.size());
  std::vector<TimedByte> out(queue_.begin(), queue_.begin() + taken);
  queue_.erase(queue_.begin(), queue_.begin() + taken);
  return out;
}

Bytes Device::Receive(size_t count, Millis timeout) {
  Bytes out;
  for (const TimedByte& b : ReceiveTimed(count, timeout)) out.push_back(b.value);
  return out;
}

bool Device::ReceiveByte(uint8_t* byte, Millis timeout, Clock::time_point* at) {
  auto got = ReceiveTimed(1, timeout);
  if (got.empty()) return false;
  *byte = got[0].value;
  if (at) *at = got[0].at;
  return true;
}

Bytes Device::ReceiveFor(Millis period) {
  std::this_thread::sleep_for(period);
  Bytes out;
  for (const TimedByte& b : TakeQueued()) out.push_back(b.value);
  return out;
}

std::vector<TimedByte> Device::TakeQueued() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<TimedByte> out(queue_.begin(), queue_.end());
  queue_.clear();
  return out;
}

size_t Device::Unread() const {
  int count = 0;
  return ioctl(slave_, FIONREAD, &count) == 0 ? static_cast<size_t>(count) : 0;
}

Bytes Device::QueryIdentification(Millis timeout) {
  Send(Bytes{Esc, 0xFF, 0x7F, 0x08, 0x0C, 0x0A});
  return Receive(12, timeout);
}

void Device::ClearScreen() {
  Send("\x1b[J");
}

void Device::MoveTo(int row, int column) {
  char sequence[16];
  std::snprintf(sequence, sizeof sequence, "\x1b[%02d;%02dH", row, column);
  Send(sequence);
}

void Device::PutText(int row, int column, std::string_view text) {
  MoveTo(row, column);
  Send(text);
}

void Device::Freeze() {
  Send("\x1b[F");
}
void Device::Unfreeze() {
  Send("\x1b[U");
}
void Device::CursorLeft() {
  Send("\x1b[D");
}
void Device::RequestFileFromTerminal() {
  Send("\x1b[R");
}
void Device::OfferFileToTerminal() {
  Send("\x1b[T");
}

void Device::RequestTextPage(std::string_view fiveBytes) {
  Bytes sequence = ToBytes("\x1b[X");
  sequence.insert(sequence.end(), fiveBytes.begin(), fiveBytes.end());
  Send(sequence);
}

}  // namespace devsim
