// The COM class and interface ids the engine uses, defined here instead of taken from libuuid:
// the library holds its ids in large tables, and even with unused sections collected its objects
// brought 36 KB into the program for three ids. The values are those of the Windows headers
// (the Windows tests compare them).
#pragma once

#include <windows.h>

// {00021401-0000-0000-C000-000000000046}
inline constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {000214F9-0000-0000-C000-000000000046}
inline constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000010B-0000-0000-C000-000000000046}
inline constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
