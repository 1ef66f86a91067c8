// The entry function: one installer object for the whole run. Every way out returns 0; a run
// that refuses, or a package that cannot be read, ends with the object's destruction alone.
#include <objbase.h>
#include <windows.h>

#include "app/install.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CInstall install;
  CoInitializeEx(nullptr, 0);
  if (install.Init(instance) && install.Run()) {
    install.Shutdown();
    CoUninitialize();
  }
  return 0;
}
