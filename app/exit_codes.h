// The program's exit codes: those of Windows Installer, which deployment tools read.
#pragma once

#include <cstdint>

constexpr uint32_t kExitDone = 0;                // also /? and a removal with nothing installed
constexpr uint32_t kExitBadSwitch = 87;          // a switch unknown or malformed: nothing changed
constexpr uint32_t kExitCancelled = 1602;        // the wizard closed before anything was done; elevation declined
constexpr uint32_t kExitFailed = 1603;           // a procedure or a start-up check failed
constexpr uint32_t kExitAnotherCopy = 1618;      // another copy runs
constexpr uint32_t kExitUnsupported = 1633;      // this Windows version or processor
constexpr uint32_t kExitRestartStarted = 1641;   // done, and the finish page restarts Windows
constexpr uint32_t kExitRestartNeeded = 3010;    // done; the layout changes at the next start
