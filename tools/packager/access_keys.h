// Warnings of "packager check" about the access keys of the wizard's pages: the underlined
// letter that Alt presses with, marked by "&" in a control's text.
#pragma once

#include "tools/packager/check.h"
#include "tools/packager/problems.h"

// Warns, one line each, about two texts of one page (ui/control_tables.h, kPageTexts) that give
// their controls the same key in one language, and about a text that has a key in one language
// but none in the other. A text shared by both languages (common or extra table) is measured
// once for each.
void ReviewAccessKeys(const TableSet& tables, Problems* warnings);
