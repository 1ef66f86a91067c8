// The switches of the command line (portable). The names follow the conventions of Windows
// Installer that administrators know (/quiet, /norestart, /log FILE, /uninstall, /?); each
// choice of the setup and expert pages a deployment needs has one, its value as the next
// argument. A switch starts with "/" or "-"; names are matched without regard to case.
#pragma once

#include <cstdint>

#include "strings/unit16.h"

struct Switches {
  static constexpr int kMaxKeys = 32;

  bool quiet = false;      // /quiet, /q, /qn: no window, no restart
  bool noRestart = false;  // /norestart
  bool uninstall = false;  // /uninstall, /x
  bool help = false;       // /?, /h, /help
  bool perUser = false;    // /peruser: the per-user steps for the signed-in user (the sign-in stub)
  bool elevated = false;   // /elevated: started again through the elevation prompt; never once more
  const WChar* logPath = nullptr;  // /log FILE; points into the arguments
  // The choices; -1 where no switch gives them.
  int32_t variant = -1;       // /variant 0|1|2
  int32_t decimalKey = -1;    // /decimalkey comma|layout: 0 types a comma, 1 keeps the layout's
  int32_t altImage = -1;      // /altimage yes|no
  int32_t languageId = -1;    // /language HHHH: the input language (Windows Vista and later)
  int32_t makeDefault = -1;   // /default yes|no: the layout becomes the default input language
  int32_t switchKeys = -1;    // /switchkeys yes|no
  int32_t desktopLinks = -1;  // /desktoplinks yes|no
  struct Key {
    uint16_t scanCode, virtualKey;
  } keys[kMaxKeys] = {};  // /key SC=VK, hexadecimal, as many as needed: a key moved on the expert page
  int keyCount = 0;
};

// The command line after the program's own name (quoted or not), as the program got it.
const WChar* ArgumentsOf(const WChar* commandLine);

// Reads arguments[0..count) (the program's own path excluded). 1 when every argument is a known
// switch with a well-formed value; 0 otherwise, with bad the index of the first one that is not
// (out then holds what came before it).
int ParseSwitches(const WChar* const* arguments, int count, Switches& out, int& bad);
