// The uninstall procedure (being written).
#include "app/install.h"

int CInstall::Uninstall() { return 0; }
int CInstall::RunRemovalScript() { return 0; }
