#include "package/guard.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "package/blowfish.h"
#include "package/crc32.h"

static_assert(sizeof(GuardLayout) == 10 * 4, "ten 32-bit build-time constants");

namespace {

// The header at the start of a deciphered blob, six little-endian words.
struct BlobHeader {
  uint32_t storedSize;  // must equal the size the blob was named with
  uint32_t plainSize;
  uint32_t packedSize;  // raw DEFLATE bytes right after the header
  uint32_t plainCrc;
  uint32_t packedCrc;
  uint32_t extra;  // handed back to the caller untouched
};
static_assert(sizeof(BlobHeader) == 24, "six words, no padding");

constexpr uint32_t kHeaderSize = sizeof(BlobHeader);
constexpr uint32_t kCipherBlock = 8;
// DEFLATE spends at least two bits on a 258-byte match (length and distance codes), so a stream
// never yields more than 1032 bytes per byte it occupies.
constexpr uint64_t kMaxInflateRatio = 1032;

void ZeroAndFree(void* data, size_t size) {
  if (data == nullptr) return;
  WipeBytes(data, size);
  free(data);
}

inline uint32_t ReadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Copies count bytes from source to dest inside a block of `length` bytes as if through a
// temporary buffer, clipped at the end of the block; out-of-range positions move nothing.
void MoveWithin(uint8_t* block, int32_t length, int32_t dest, int32_t source, int32_t count) {
  if (dest < 0 || dest >= length || source < 0 || source >= length || count <= 0) return;
  const int32_t room = length - (dest < source ? source : dest);
  if (count > room) count = room;
  memmove(block + dest, block + source, static_cast<size_t>(count));
}

// XORs a run with the value the byte at pos held before the run began, so a pos inside the run
// clears that byte without changing what the later bytes are XORed with.
void XorRun(uint8_t* block, int32_t length, int32_t start, int32_t count, int32_t pos) {
  if (start < 0 || start >= length || pos < 0 || pos >= length || count <= 0) return;
  const uint8_t value = block[pos];
  if (count > length - start) count = length - start;
  for (int32_t i = 0; i < count; ++i) block[start + i] ^= value;
}

}  // namespace

void WipeBytes(void* data, size_t size) {
  if (data == nullptr || size == 0) return;
  memset(data, 0, size);  // word-wide and wider, not a byte at a time
  // The empty statement takes the buffer's address and may read any memory, so the optimiser
  // must keep the stores even when the buffer is freed right after.
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

CGuard::CGuard(const GuardLayout& layout)
    : m_keyOffset(layout.keyOffset),
      m_move1Source(layout.move1Source),
      m_move1Dest(layout.move1Dest),
      m_move1Length(layout.move1Length),
      m_move2Source(layout.move2Source),
      m_move2Dest(layout.move2Dest),
      m_move2Length(layout.move2Length),
      m_xorSourcePos(layout.xorSourcePos),
      m_xorStart(layout.xorStart),
      m_xorLength(layout.xorLength) {}

CGuard::~CGuard() { Wipe(); }

bool CGuard::Load(const uint8_t* source, int length) {
  Wipe();
  if (source == nullptr || length <= 0 || length != m_blockLength) return false;
  uint8_t* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(m_blockLength)));
  if (block == nullptr) return false;
  memcpy(block, source, static_cast<size_t>(m_blockLength));
  MoveWithin(block, m_blockLength, m_move1Dest, m_move1Source, m_move1Length);
  MoveWithin(block, m_blockLength, m_move2Dest, m_move2Source, m_move2Length);
  XorRun(block, m_blockLength, m_xorStart, m_xorLength, m_xorSourcePos);
  m_block = block;
  return true;
}

void CGuard::Wipe() {
  if (m_block == nullptr) return;
  ZeroAndFree(m_block, static_cast<size_t>(m_blockLength));
  m_block = nullptr;
}

const uint8_t* CGuard::Key() const {
  // A layout whose window does not fit the block yields no key rather than a read past it.
  if (m_block == nullptr || m_keyLength <= 0 || m_keyOffset < 0 || m_keyOffset > m_blockLength - m_keyLength)
    return nullptr;
  return m_block + m_keyOffset;
}

uint8_t* CGuard::DecodeBlob(const uint8_t* blob, uint32_t& size, uint32_t* extra) const {
  const uint8_t* key = Key();
  if (key == nullptr || blob == nullptr) return nullptr;
  // Stored blobs are whole cipher blocks; a ragged size would make the last block reach past
  // the bytes we were given. Anything shorter than the header cannot hold a blob.
  if (size < kHeaderSize || size % kCipherBlock != 0) return nullptr;
  const size_t length = size;

  BlowfishContext* ctx = static_cast<BlowfishContext*>(malloc(sizeof(BlowfishContext)));
  if (ctx == nullptr) return nullptr;
  BlowfishInit(ctx, key, m_keyLength);

  uint8_t* clear = static_cast<uint8_t*>(malloc(length));
  if (clear == nullptr) {
    ZeroAndFree(ctx, sizeof(BlowfishContext));
    return nullptr;
  }
  // Deciphering from the blob into the copy makes the copy and the first pass one.
  BlowfishDecipherBlocksTo(ctx, blob, clear, length);
  ZeroAndFree(ctx, sizeof(BlowfishContext));

  // Header, little-endian: +0 stored size, +4 plain size, +8 packed size, +12 plain CRC-32,
  // +16 packed CRC-32, +20 extra; the packed data follows at +24, then zero padding.
  BlobHeader header;
  header.storedSize = ReadLittle32(clear + 0);
  header.plainSize = ReadLittle32(clear + 4);
  header.packedSize = ReadLittle32(clear + 8);
  header.plainCrc = ReadLittle32(clear + 12);
  header.packedCrc = ReadLittle32(clear + 16);
  header.extra = ReadLittle32(clear + 20);

  uint8_t* plain = nullptr;
  size_t written = 0;  // what a failed inflate may have left in plain
  bool ok = header.storedSize == size && header.packedSize <= size - kHeaderSize;
  const uint8_t* packed = clear + kHeaderSize;
  ok = ok && Crc32(0, packed, header.packedSize) == header.packedCrc;
  // A plain size no stream of this length can reach would only cost a huge allocation.
  ok = ok && header.plainSize <= kMaxInflateRatio * header.packedSize;

  if (ok) {
    // Room for a 16-bit terminator after the text: plain size rounded down to even, plus two.
    const uint64_t wanted = static_cast<uint64_t>(header.plainSize & ~1u) + 2;
    if (wanted <= SIZE_MAX) plain = static_cast<uint8_t*>(malloc(static_cast<size_t>(wanted)));
    ok = plain != nullptr;
  }

  if (ok) {
    // One call with the exact output room: a stream that ends early or would write more than
    // the header promises is refused. Bytes after the end of the stream are ignored.
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    ok = inflateInit2(&stream, -MAX_WBITS) == Z_OK;
    if (ok) {
      stream.next_in = const_cast<Bytef*>(packed);
      stream.avail_in = header.packedSize;
      stream.next_out = plain;
      stream.avail_out = header.plainSize;
      const int result = inflate(&stream, Z_FINISH);
      written = header.plainSize - stream.avail_out;
      ok = result == Z_STREAM_END && stream.total_out == header.plainSize;
      inflateEnd(&stream);
    }
  }

  ok = ok && Crc32(0, plain, header.plainSize) == header.plainCrc;
  ZeroAndFree(clear, length);
  if (!ok) {
    ZeroAndFree(plain, written);
    return nullptr;
  }
  if (extra != nullptr) *extra = header.extra;
  size = header.plainSize;
  return plain;
}
