#include "platform/gtk/file_filters.h"

#include <glib.h>

#include <cstring>

namespace platform::gtk {

namespace {

std::string CaselessPattern(const std::string& pattern) {
  std::string out;
  for (char c : pattern) {
    const gchar lower = g_ascii_tolower(c), upper = g_ascii_toupper(c);
    out += lower == upper ? std::string(1, c) : std::string{'[', lower, upper, ']'};
  }
  return out;
}

}  // namespace

std::vector<FileFilter> FiltersOf(const char* filterList) {
  std::vector<FileFilter> filters;
  for (const char* p = filterList; p != nullptr && *p != '\0';) {
    FileFilter filter{p, {}};
    p += std::strlen(p) + 1;
    if (*p == '\0') break;  // a description without patterns ends the list
    const std::string patterns = p;
    for (size_t start = 0, end; start <= patterns.size(); start = end + 1) {
      end = patterns.find(';', start);
      if (end == std::string::npos) end = patterns.size();
      if (end > start) filter.patterns.push_back(CaselessPattern(patterns.substr(start, end - start)));
    }
    filters.push_back(filter);
    p += std::strlen(p) + 1;
  }
  return filters;
}

}  // namespace platform::gtk
