// Whole-file reads and the packager's output writes.
#pragma once

#include <string>
#include <string_view>

// Reads a whole file. False with a message naming the file when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content, std::string* error);

// Writes content to path unless the file already holds exactly these bytes, so that a build
// that depends on the output does not run again. The bytes go to a temporary file beside the
// target first and are renamed over it, so a reader never sees half a file. *changed tells
// whether the file was written.
bool WriteFileIfChanged(const std::string& path, std::string_view content, bool* changed, std::string* error);
