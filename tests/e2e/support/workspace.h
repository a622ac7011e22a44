// A temporary folder per test: the program's working folder with its MIRELOX.CFG, the home folder
// the GTK program writes to, the pty links and the files the transfers move. Removed at the end.
#pragma once

#include <array>
#include <string>

#include "devsim/device.h"

namespace e2e {

using devsim::Bytes;

// The ten message lines every test's configuration holds (only 0x20..0x7A survive in a line).
extern const std::array<std::string, 10> TestMessageLines;

class Workspace {
 public:
  Workspace();  // a fresh folder under /tmp
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  std::string ProgramFolder() const { return Path("program"); }  // where MIRELOX.CFG goes
  std::string HomeFolder() const { return Path("home"); }

  void WriteConfiguration(char portDigit);  // the digit, then TestMessageLines, CR LF ended
  void Write(const std::string& path, const Bytes& bytes) const;
  Bytes Read(const std::string& path) const;  // empty when missing

 private:
  std::string root_;
};

Bytes Pattern(size_t size, unsigned seed);  // deterministic bytes covering 0x00..0xFF

}  // namespace e2e
