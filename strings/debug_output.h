// The debugger channel of DebugDump: OutputDebugStringW on Windows, standard error elsewhere.
// Tests install a sink of their own to read what was written.
#pragma once

#include "strings/unit16.h"

using DebugSink = void (*)(const WChar* text);

// Replaces the sink (null: back to the platform's channel); returns the one it replaces.
DebugSink SetDebugSink(DebugSink sink);

// Sends one terminated text to the current sink.
void WriteDebugText(const WChar* text);
