// Upper case of a single 16-bit text unit, used for case-blind comparison of names and paths.
//
// Every mapping is one unit to one unit: characters whose upper case would need several units
// (or lies outside the 16-bit range) are left unchanged, as are surrogates.
#pragma once

#include "strings/unit16.h"

WChar UpperCaseOf(WChar c);
