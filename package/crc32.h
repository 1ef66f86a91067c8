// The standard CRC-32 (reflected polynomial 0xEDB88320, the one zlib and the blob format use),
// byte by byte from a 1 KiB table. zlib's own is several times faster on large buffers but
// brings 7 KiB of tables and code into the program; a package is decoded once, at start-up.
#pragma once

#include <cstddef>
#include <cstdint>

// crc: the CRC-32 of what came before (0 for none).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

// RFC 1950's Adler-32, which zlib's inflate asks for with zlib-wrapped streams (the package's are
// raw, so only its presence matters; it is exact all the same).
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);
