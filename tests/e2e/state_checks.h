// The checks of the system's state that every end-to-end run shares, whoever drives the installer
// (the procedures directly, or a person's clicks through the wizard): the prefix made to look like
// a real Windows, the first installation with the default options, the libraries in place after
// the restart, and the residue after a removal and the restart. Failures are GoogleTest
// expectations that print the whole difference.
//
// A run saves the state before the installation (PrepareLikeWindows does, in kBefore) and
// compares with it at the end; between the steps Wine restarts the prefix (wineboot -r).
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/e2e/snapshot.h"

namespace e2e {

extern const wchar_t kBefore[];  // C:\e2e\before.snapshot: the state before the installation

// The snapshot's name of the program's view of Software ("HKLM", "HKLM32", "HKLM64") and of the
// native view of SYSTEM.
std::string OwnView();
std::string NativeView();
REGSAM NativeFlag();  // the native view's flag (none on a 32-bit system)

std::wstring Folder(int csidl);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
void SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);

// The places a difference names, by kind of line ('+', '-', '~'); what a snapshot holds at a
// place ("(none)" when nothing); a value of the record below its installation key.
std::set<std::string> Places(const std::vector<std::string>& lines, char kind);
std::string Value(const Snapshot& snapshot, const std::string& place);
std::string RecordValue(const Snapshot& snapshot, const std::string& key, const char* value);

std::string CompletionMark();  // the demo's completion mark, as a snapshot shows it
std::string UninstallName();   // the menu entry of the program's copy (text 48 with text 81)

// What Windows has and Wine lacks: the layout entries of US English, Polish and (unless the
// prefix's name says "nocyr") Russian, another program's scan-code map entry, and in Windows 7
// prefixes a profile whose user changed the switching keys. Then saves the state in kBefore.
void PrepareLikeWindows(const std::string& prefixName);

// The first installation with the default options, by a program whose copy is named
// programCopy ("setup.exe"): exactly its files, links, record and layout entry were added to
// the state of kBefore, with their values and link targets. `after` is the state now.
void ExpectFirstInstallation(const Snapshot& after, const std::wstring& programCopy);

// After the restart: the layout library in the system folders is the demo image of this variant
// and row with exactly the comparer's changes (layout_helpers.h, ExpectedChanges; "" for none).
void ExpectInstalledLibrary(int variant, int row, const std::wstring& changes = L"");

// After a removal and the restart: nothing differs from kBefore but the completion mark (the
// switching keys keep what the installation gave them).
void ExpectOnlyTheCompletionMark();

}  // namespace e2e
