// Flags of one conversion of the formatting engine, as parsed from "%[flags]...".
#pragma once

enum FormatFlag : unsigned {
  kFlagLeft = 1u << 0,     // "-": fill on the right, always spaces
  kFlagZero = 1u << 1,     // "0": fill with zeros (ignored with "-")
  kFlagPlus = 1u << 2,     // "+": sign for non-negative values
  kFlagSpace = 1u << 3,    // " ": space for non-negative values; byte dumps: space between bytes
  kFlagAlt = 1u << 4,      // "#": alternate form
  kFlagEscape = 1u << 5,   // "$": escape everything outside 32-126
  kFlagGroup = 1u << 6,    // "`": digit grouping, or byte groups of four
};
