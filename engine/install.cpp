// The install procedure (being written).
#include "app/install.h"

int CInstall::Install() { return 0; }
int CInstall::InstallFiles() { return 0; }
int CInstall::WriteSetCFile(const WChar*) { return 0; }
int CInstall::RegisterInputLanguage(uint16_t, int) { return 0; }
int CInstall::RemoveOldVersionFiles(int) { return 0; }
