// The state of a Windows system in the places the installer touches, and the difference between
// two such states: the registry keys of its record, the layout entries, the scan-code map, the
// per-user layout keys, the session manager's list of work for the next start, the completion
// mark; the file trees of the program files, the all-users menu and desktop, the user's desktop
// and documents, the system folders and the temporary folder.
//
// A snapshot is a sorted map from a place ("reg:HKLM64\Software\DemoLayout\Polish\@UseCount",
// "file:C:\Program Files\Demo Layout\Polish\x.txt") to what is there ("REG_DWORD:1",
// "size=120 hash=..."). End-to-end steps save one in the prefix and compare later ones with it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace e2e {

using Snapshot = std::map<std::string, std::string>;

Snapshot Capture();
bool Save(const Snapshot& snapshot, const std::wstring& path);
bool Load(const std::wstring& path, Snapshot* snapshot);

// One line per difference: "+ place = what" (added), "- place = what" (removed),
// "~ place: before => after" (changed). Places whose name contains one of `ignored` are left out.
std::vector<std::string> Diff(const Snapshot& before, const Snapshot& after,
                              const std::vector<std::string>& ignored = {});

// The lines, one per line, for a failure message.
std::string Lines(const std::vector<std::string>& lines);

}  // namespace e2e
