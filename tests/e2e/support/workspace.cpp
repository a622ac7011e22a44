#include "support/workspace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

const std::array<std::string, 10> TestMessageLines = {
    "Mirelox test configuration",
    "Text page missing: ",
    "Binary files",
    "Send a file to the device",
    "unused line four",
    "Save the file from the device",
    "Receiving block ",
    "Cannot create the received file",
    "Cannot open the file to send",
    "Sending block ",
};

Workspace::Workspace() {
  char pattern[] = "/tmp/mirelox-e2e-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  root_ = pattern;
  std::filesystem::create_directories(ProgramFolder());
  std::filesystem::create_directories(HomeFolder());
}

Workspace::~Workspace() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void Workspace::WriteConfiguration(char portDigit) {
  std::string text(1, portDigit);
  text += "\r\n";
  for (const std::string& line : TestMessageLines) text += line + "\r\n";
  Write(ProgramFolder() + "/MIRELOX.CFG", devsim::ToBytes(text));
}

void Workspace::Write(const std::string& path, const Bytes& bytes) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes Workspace::Read(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Pattern(size_t size, unsigned seed) {
  Bytes bytes(size);
  unsigned state = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

}  // namespace e2e
