// The file dialogs' filter list as the GTK chooser gets it.
#include "platform/gtk/file_filters.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Shown(const std::string& list) {  // "name: pattern pattern | ..."
  std::string shown;
  for (const auto& filter : platform::gtk::FiltersOf(list.c_str())) {
    shown += (shown.empty() ? "" : " | ") + filter.name + ":";
    for (const std::string& pattern : filter.patterns) shown += " " + pattern;
  }
  return shown;
}

TEST(FileFilters, EachDescriptionWithItsPatternsInAnyCase) {
  EXPECT_EQ(Shown(std::string("Binary files\0*.bin\0", 20)), "Binary files: *.[bB][iI][nN]");
  EXPECT_EQ(Shown(std::string("A\0*.x;;*.Y2\0B\0*\0", 17)), "A: *.[xX] *.[yY]2 | B: *");
  EXPECT_EQ(Shown(std::string("no patterns\0", 12)), "");
  EXPECT_EQ(Shown(""), "");
}

}  // namespace
