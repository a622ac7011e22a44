// Started under Wine by the end-to-end runs: holds the file named by its argument open for reading
// and writing while letting others read it, as an editor may, and says "held"; it ends when killed.
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2 || CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                              NULL) == INVALID_HANDLE_VALUE)
    return 1;
  puts("held");
  fflush(stdout);
  Sleep(INFINITE);
  return 0;
}
