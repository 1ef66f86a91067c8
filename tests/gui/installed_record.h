// The installation record as the next start of setup.exe reads it: an installer object of this
// process runs the start-up checks, which restore the settings and the keys from the record.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "app/install.h"

namespace gui {

// Calls read(install) once the checks would open the wizard; nothing when they would not.
template <class Read>
void ReadInstalledRecord(Read read) {
  CoInitializeEx(nullptr, 0);
  {
    CInstall install;
    if (install.Init(GetModuleHandleW(nullptr)) && install.StartUpChecks() == CInstall::StartUp::kOpenWizard)
      read(install);
  }
  CoUninitialize();
}

}  // namespace gui
