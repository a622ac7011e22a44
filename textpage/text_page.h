// Stored text pages: the device sends ESC [ X and five name bytes, and the file TXTnnnnn.KVB found
// along the program's search path is drawn line by line from row 1 down, each line on a freshly
// blanked row. The first line of a page is never shown; a page uses at most its first 4096 bytes.
#pragma once

#include "platform/platform.h"

constexpr int TextPageNameSize = 9;
constexpr int TextPageBufferSize = 5000;
constexpr int TextPageMaxBytes = 4096;
constexpr int TextPageLineSize = 100;  // 99 characters and a NUL

extern char TextPageName[TextPageNameSize];
extern unsigned char TextPageBuffer[TextPageBufferSize];

void ShowTextPage();
// Whether file, opened under path, is a page the device can ask for: the page search finds this very
// file under the page name that the five bytes of its own name (as long as a page's) make.
bool IsTextPageFile(platform::FileHandle file, const char* path);
// Draws the lines of a page held in the first count bytes of TextPageBuffer.
void DrawTextPage(int count);
