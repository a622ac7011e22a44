// The filter list of the file dialogs as Win32 takes it (description, NUL, patterns separated by
// ';', NUL, ..., NUL; an empty list: no filter) turned into the filters a GTK file chooser offers.
// Windows matches a pattern without regard to case, so "*.bin" also lists FILE.BIN.
#pragma once

#include <string>
#include <vector>

namespace platform::gtk {

struct FileFilter {
  std::string name;                   // Windows-1252, as the list holds it
  std::vector<std::string> patterns;  // GTK glob patterns, each letter as [xX]
};

std::vector<FileFilter> FiltersOf(const char* filterList);

}  // namespace platform::gtk
