// What every layout of the 101/102-key keyboard has and a .klc file does not list: the virtual
// key of each scan code before the layout moves the typing keys, the keys sent with an E0 or E1
// prefix, and the characters of the editing and keypad keys.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/packager/layout_model.h"

constexpr unsigned kBaseScanCodes = 127;  // 0x00-0x7E
extern const uint16_t kBaseScanCode[kBaseScanCodes];
extern const std::vector<ScanVk> kBaseE0;
extern const std::vector<ScanVk> kBaseE1;

// The virtual key a keypad scan code gives with Num Lock on (its table entry holds the one
// without), 0 for other scan codes.
uint8_t KeypadVirtualKey(uint8_t scan);

// Keys with fixed characters, grouped as their tables are: chars[s] is what shift state s types
// (0 base, 1 Shift, 2 Ctrl) for the first `states` states.
struct FixedKey {
  uint8_t vk;
  uint16_t chars[3];
};
struct FixedKeys {
  unsigned states;
  std::vector<FixedKey> keys;
};
// In the order their tables take around the layout's own: kFixedBefore, the layout, kFixedAfter.
extern const std::vector<FixedKeys> kFixedBefore;
extern const std::vector<FixedKeys> kFixedAfter;
