// From the sections of a .klc file to what its library holds: the tables in the order the layout
// creator tool gives them (the editing keys' table, the layout's own keys in the file's order,
// then Tab and the keypad), dead keys in the order the layout first types them, and the
// resources that name the layout.
#pragma once

#include "tools/packager/klc_reader.h"
#include "tools/packager/layout_model.h"
#include "tools/packager/problems.h"

// Longest ligature a layout may type.
constexpr unsigned kMaxLigatureChars = 4;

// Every fault goes to problems as "file:line:column: what" (a missing section at the file's
// start or end); false when there was any, and then *tables and *resources mean nothing.
bool BuildLayout(const KlcSource& source, LayoutModel* tables, LayoutResources* resources, Problems* problems);
