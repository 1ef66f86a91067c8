// Upper case of a single 16-bit text unit.
//
// Every mapping is one unit to one unit, and no result has an upper case of its own. Left
// unchanged: characters whose upper case would take several units (U+00DF), symbol variants
// whose upper case is an ordinary letter (U+00B5, U+03D0, U+03D5, U+03D6, U+03F0, U+03F1),
// letters without an entry in our data, and surrogates.
#pragma once

#include "strings/unit16.h"

WChar UpperCaseOf(WChar c);
