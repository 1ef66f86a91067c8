// The pattern finder: from layout libraries to the search patterns texts 146-151, the shortest
// runs of at least 8 bytes that start exactly where the installer writes and occur exactly
// once in every library, printed as a text file fragment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packager/problems.h"

// The shortest run of bytes, minLength to maxLength long, that starts at starts[i] in
// images[i], is the same in every image and occurs exactly once in each (overlapping
// occurrences counted). False with *fault when the images' bytes differ before such a run is
// long enough, a run reaches an image's end, or maxLength is reached.
bool ShortestUniquePattern(const std::vector<const std::vector<uint8_t>*>& images, const std::vector<size_t>& starts,
                           size_t minLength, size_t maxLength, std::vector<uint8_t>* pattern, std::string* fault);

// Reads the libraries and writes texts 146-151 (with comments naming each library, its edition
// and the offsets) to *out. Every library without readable tables, a table the installer would
// write past (fewer than 127 scan codes, a decimal key with one character), and every text
// without a pattern go to problems, naming the library; false when there is any.
bool FindLayoutPatterns(const std::vector<std::string>& paths, std::string* out, Problems* problems);
