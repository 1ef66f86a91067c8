// zlib's inflate calls crc32 and adler32 by name; defined here, the program takes ours and the
// linker leaves zlib's (7 KiB of tables and code for the CRC alone) in the archive.
#include <zlib.h>

#include "package/crc32.h"

extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  return buf ? Crc32(static_cast<uint32_t>(crc), buf, len) : 0;
}

extern "C" uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
  return buf ? Adler32(static_cast<uint32_t>(adler), buf, len) : 1;
}
