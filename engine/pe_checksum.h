// The checksum in a PE image's optional header, renewed after the image's bytes changed (the
// installer's customised layout library, the packager's stored images). Portable.
#pragma once

#include <cstdint>

// Writes the standard checksum into the image's optional header: the 16-bit one's-complement
// sum of the file as little-endian 16-bit words (an odd last byte as a word of its own), the
// checksum field counted as 0, folded to 16 bits, plus the file's length. False, with nothing
// written, when the headers are not those of a PE image lying inside the buffer.
bool UpdatePeChecksum(uint8_t* image, uint32_t size);
