// The common Open and Save dialogs, owned by the main window. Both leave the current directory where
// it was, because the configuration and the text pages are looked for along a path that includes
// it; the Open dialog ignores OFN_NOCHANGEDIR, so the folder is kept here rather than by a flag.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_state.h"

namespace platform {

namespace {

bool RunFileDialog(BOOL(WINAPI* dialog)(OPENFILENAMEA*), const char* title, const char* filterList,
                   char* path, int pathSize, DWORD flags) {
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
  char folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  const bool chosen = dialog(&record) != 0;
  if (length > 0 && length < sizeof folder) SetCurrentDirectoryA(folder);
  return chosen;
}

}  // namespace

bool ChooseFileToOpen(const char* title, const char* filterList, char* path, int pathSize) {
  return RunFileDialog(GetOpenFileNameA, title, filterList, path, pathSize,
                       OFN_NONETWORKBUTTON | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
}

bool ChooseFileToSave(const char* title, const char* filterList, char* path, int pathSize) {
  return RunFileDialog(GetSaveFileNameA, title, filterList, path, pathSize,
                       OFN_NONETWORKBUTTON | OFN_CREATEPROMPT | OFN_HIDEREADONLY);
}

}  // namespace platform
