#include "package/blob_writer.h"

#include <cstring>

#include <zlib.h>

#include "package/blowfish.h"

namespace {

constexpr size_t kHeaderSize = 24;
constexpr size_t kCipherBlock = 8;
// zlib counts its buffers in uInt; large inputs go in pieces.
constexpr size_t kDeflatePiece = 1u << 30;

void AppendLittle32(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
  out->push_back(static_cast<uint8_t>(v >> 16));
  out->push_back(static_cast<uint8_t>(v >> 24));
}

// Raw DEFLATE (no zlib header or trailer) at the strongest level, appended to *out.
bool RawDeflate(const uint8_t* plain, size_t plainSize, std::vector<uint8_t>* out) {
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  size_t consumed = 0;
  uint8_t piece[64 * 1024];
  int result = Z_OK;
  while (result == Z_OK) {
    if (stream.avail_in == 0 && consumed < plainSize) {
      const size_t take = plainSize - consumed < kDeflatePiece ? plainSize - consumed : kDeflatePiece;
      stream.next_in = const_cast<Bytef*>(plain + consumed);
      stream.avail_in = static_cast<uInt>(take);
      consumed += take;
    }
    stream.next_out = piece;
    stream.avail_out = sizeof piece;
    result = deflate(&stream, consumed == plainSize ? Z_FINISH : Z_NO_FLUSH);
    out->insert(out->end(), piece, piece + (sizeof piece - stream.avail_out));
  }
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

}  // namespace

bool EncodeBlob(const uint8_t* key, int keyLength, const uint8_t* plain, size_t plainSize, uint32_t extra,
                std::vector<uint8_t>* stored) {
  if (key == nullptr || keyLength < 1 || stored == nullptr || (plain == nullptr && plainSize != 0)) return false;
  if (plainSize > UINT32_MAX) return false;
  static const uint8_t kNothing = 0;
  if (plain == nullptr) plain = &kNothing;

  std::vector<uint8_t> packed;
  if (!RawDeflate(plain, plainSize, &packed)) return false;
  const uint64_t storedSize = (kHeaderSize + static_cast<uint64_t>(packed.size()) + kCipherBlock - 1) /
                              kCipherBlock * kCipherBlock;
  if (storedSize > UINT32_MAX) return false;

  // Header, little-endian: stored size, plain size, packed size, plain CRC-32, packed CRC-32,
  // extra; then the packed data and zero padding to whole cipher blocks.
  std::vector<uint8_t> blob;
  blob.reserve(static_cast<size_t>(storedSize));
  AppendLittle32(&blob, static_cast<uint32_t>(storedSize));
  AppendLittle32(&blob, static_cast<uint32_t>(plainSize));
  AppendLittle32(&blob, static_cast<uint32_t>(packed.size()));
  AppendLittle32(&blob, static_cast<uint32_t>(crc32_z(0, plain, plainSize)));
  AppendLittle32(&blob, static_cast<uint32_t>(crc32_z(0, packed.data(), packed.size())));
  AppendLittle32(&blob, extra);
  blob.insert(blob.end(), packed.begin(), packed.end());
  blob.resize(static_cast<size_t>(storedSize), 0);

  BlowfishContext* ctx = new BlowfishContext;
  BlowfishInit(ctx, key, keyLength);
  BlowfishEncipherBlocks(ctx, blob.data(), blob.size());
  WipeBytes(ctx, sizeof *ctx);
  delete ctx;
  stored->swap(blob);
  return true;
}
