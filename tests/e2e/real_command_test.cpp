// The demo package as shipped, with its real input-language command (text 49): an installation
// and a removal run it and still end within seconds, whatever the command does with its script
// under this system (it may open a window, fail, or not exist).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "app/install.h"

namespace {

TEST(RealCommandStep, InstallAndRemoveDoNotWaitForTheCommand) {
  CoInitializeEx(nullptr, 0);
  const DWORD start = GetTickCount();
  {
    CInstall install;
    ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
    ASSERT_EQ(install.StartUpChecks(), CInstall::StartUp::kOpenWizard);
    ASSERT_EQ(install.Install(), 1);
    install.Shutdown();
  }
  {
    CInstall install;
    ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
    ASSERT_EQ(install.StartUpChecks(), CInstall::StartUp::kOpenWizard);
    ASSERT_EQ(install.m_installedId, 190u);
    ASSERT_EQ(install.Uninstall(), 1);
    install.Shutdown();
  }
  // Each script is waited for at most a second, and half a second more after the installation's.
  EXPECT_LT(GetTickCount() - start, 30000u);
  CoUninitialize();
}

}  // namespace
