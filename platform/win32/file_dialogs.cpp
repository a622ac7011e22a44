// The common Open and Save dialogs, owned by the main window. Both keep the current directory where
// it was, because the configuration and the text pages are looked for along a path that includes it.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_state.h"

namespace platform {

namespace {

OPENFILENAMEA FileDialogRecord(const char* title, const char* filterList, char* path, int pathSize,
                               DWORD flags) {
  OPENFILENAMEA record = {};
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  record.hwndOwner = win32::MainWindow;
  record.lpstrFilter = filterList[0] == '\0' ? nullptr : filterList;
  record.nFilterIndex = 0;
  record.lpstrFile = path;
  record.nMaxFile = pathSize;
  record.lpstrTitle = title;
  record.Flags = flags;
  record.lpstrDefExt = nullptr;
  return record;
}

}  // namespace

bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize) {
  OPENFILENAMEA record = FileDialogRecord(
      title, filterList, path, pathSize,
      OFN_NONETWORKBUTTON | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
  return GetOpenFileNameA(&record) != 0;
}

bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize) {
  OPENFILENAMEA record =
      FileDialogRecord(title, filterList, path, pathSize,
                       OFN_NONETWORKBUTTON | OFN_CREATEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR);
  return GetSaveFileNameA(&record) != 0;
}

}  // namespace platform
