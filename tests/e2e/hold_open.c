// Started under Wine by the end-to-end runs: holds the file it is given open for reading and
// writing while letting others read it, as an editor may, says "held" and waits to be killed.
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2 || CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                              NULL) == INVALID_HANDLE_VALUE)
    return 1;
  puts("held");
  fflush(stdout);
  Sleep(INFINITE);
}
