// The session manager's list of work for the next start of Windows
// (HKLM\System\CurrentControlSet\Control\Session Manager, value PendingFileRenameOperations):
// read once, asked about, and rid of the pairs that name files of ours.
#pragma once

#include <windows.h>

#include <cstddef>

#include "strings/gstring.h"

class PendingOperations {
 public:
  PendingOperations();  // an unreadable or missing list reads as empty
  ~PendingOperations();
  PendingOperations(const PendingOperations&) = delete;
  PendingOperations& operator=(const PendingOperations&) = delete;

  // Whether the next start deletes or moves away the file or folder at ntPath ("\??\C:\...").
  bool Moves(const WChar* ntPath) const;

  // Drops every pair whose source or target is one of the paths, or lies inside one of the
  // folders (or is that folder), and writes the list back when that changed it. Empty paths
  // name nothing. 1 when nothing had to go or the shorter list was written.
  int Withdraw(const GString* const* paths, size_t pathCount, const GString* const* folders, size_t folderCount);

 private:
  WChar* m_units = nullptr;  // owned; the value with two zero units more
  size_t m_count = 0;        // units of the value
};
