// What the layout image tests share: the demo package's layout file, the key reassignments the
// tests make, and the comparer (tests/layouts) that reads a patched image's tables through its
// own KbdLayerDescriptor and checks that exactly these changes were made.
#pragma once

#include <windows.h>

#include <string>

#include "app/install.h"
#include "tests/wine/wine_test.h"

namespace layouttest {

const wchar_t kLayoutFile[] = L"kbddemo.dll";  // text 83 of the demo package

// A path of the Linux build as Wine sees it (drive Z: is the root).
inline std::wstring WinePath(const char* unixPath) {
  std::wstring out = L"Z:";
  for (const char* p = unixPath; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return out;
}

// The demo library as built, before the package enciphered it: "x86" or "x64".
inline std::wstring DemoImage(int variant, int row, const wchar_t* arch) {
  return WinePath(DEMO_LAYOUTS_DIR) + L"\\kbddemo_v" + std::to_wstring(variant) + L"_r" + std::to_wstring(row) + L"_" +
         arch + L".dll";
}

struct Reassignment {
  uint16_t scanCode;
  uint16_t virtualKey;
};

// Q types W, Caps Lock is a left Ctrl, the left Windows key opens the menu, Pause is Scroll
// Lock; 0xE05E is a key of the key table that the demo's E0 list lacks, so it changes nothing.
const Reassignment kReassigned[] = {
    {0x10, 0x0057}, {0x3A, 0x00A2}, {0xE05B, 0x015D}, {0xE05E, 0x0191}, {0xE11D, 0x0091}};

inline void Reassign(CInstall& install) {
  for (const Reassignment& change : kReassigned) {
    KeyEntry* entry = install.FindKey(change.scanCode);
    ASSERT_NE(entry, nullptr) << std::hex << change.scanCode;
    entry->virtualKey = change.virtualKey;
  }
}

// The comparer's options for kReassigned and the decimal comma.
inline std::wstring ExpectedChanges() {
  return L" --vk 10=0057 --vk 3A=00A2 --e0 5B=015D --e1 1D=0091 --decimal";
}

// Runs the comparer of the image's architecture; its report goes to *output.
inline DWORD CompareLayouts(const wchar_t* arch, const std::wstring& original, const std::wstring& patched,
                            const std::wstring& options, std::string* output) {
  const std::wstring tool = WinePath(LAYOUT_TOOLS_DIR) + L"\\compare_layout_" + arch + L".exe";
  return winetest::RunCommand(L"\"" + tool + L"\" \"" + original + L"\" \"" + patched + L"\"" + options, output);
}

}  // namespace layouttest
