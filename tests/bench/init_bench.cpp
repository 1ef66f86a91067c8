// The package part of the installer's start: load the key block, then decode and attach the four
// string tables of the demo package; against inflating the same four packed streams alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "package/blowfish.h"
#include "package/embedded_package.h"
#include "package/guard.h"
#include "tests/bench/ratio_reporter.h"
#include "text/tables/text_table.h"

namespace {

const BlobRef* const kTables[] = {&kEmbeddedPackage.textCommon, &kEmbeddedPackage.textExtra,
                                  &kEmbeddedPackage.textLanguage[0], &kEmbeddedPackage.textLanguage[1]};

struct Stream {
  std::vector<uint8_t> packed;  // the raw DEFLATE data inside the blob
  uint32_t plainSize;
};

// Deciphers each table blob once to find its packed stream.
std::vector<Stream> PackedStreams() {
  CGuard guard(kEmbeddedPackage.layout);
  if (!guard.Load(kEmbeddedPackage.keyBlock, kEmbeddedPackage.keyBlockLength)) abort();
  BlowfishContext ctx;
  BlowfishInit(&ctx, guard.Key(), kKeyWindowLength);
  std::vector<Stream> streams;
  for (const BlobRef* blob : kTables) {
    std::vector<uint8_t> clear(blob->data, blob->data + blob->size);
    BlowfishDecipherBlocks(&ctx, clear.data(), clear.size());
    auto word = [&clear](int at) {
      return clear[at] | clear[at + 1] << 8 | clear[at + 2] << 16 | static_cast<uint32_t>(clear[at + 3]) << 24;
    };
    streams.push_back({std::vector<uint8_t>(clear.begin() + 24, clear.begin() + 24 + word(8)), word(4)});
  }
  return streams;
}

void Init_ours(benchmark::State& state) {
  for (auto _ : state) {
    CGuard guard(kEmbeddedPackage.layout);
    if (!guard.Load(kEmbeddedPackage.keyBlock, kEmbeddedPackage.keyBlockLength)) abort();
    TextTable tables[4] = {};
    for (int i = 0; i < 4; ++i) {
      uint32_t size = kTables[i]->size;
      uint32_t count = 0;
      uint8_t* plain = guard.DecodeBlob(kTables[i]->data, size, &count);
      if (!plain || !tables[i].Attach(plain, size, static_cast<int32_t>(count))) abort();
    }
    benchmark::DoNotOptimize(tables[3].Find(93));
    for (TextTable& table : tables) table.Free();
  }
}

void Init_baseline(benchmark::State& state) {
  const std::vector<Stream> streams = PackedStreams();
  for (auto _ : state) {
    for (const Stream& s : streams) {
      uint8_t* plain = static_cast<uint8_t*>(malloc(s.plainSize + 2));
      z_stream z;
      memset(&z, 0, sizeof z);
      if (!plain || inflateInit2(&z, -15) != Z_OK) abort();
      z.next_in = const_cast<uint8_t*>(s.packed.data());
      z.avail_in = static_cast<uInt>(s.packed.size());
      z.next_out = plain;
      z.avail_out = s.plainSize;
      if (inflate(&z, Z_FINISH) != Z_STREAM_END) abort();
      inflateEnd(&z);
      benchmark::DoNotOptimize(plain);
      free(plain);
    }
  }
}

}  // namespace

BENCHMARK(Init_ours)->Name("FourTableInit/ours");
BENCHMARK(Init_baseline)->Name("FourTableInit/baseline");

int main(int argc, char** argv) { return RunBenchmarksWithRatios(argc, argv); }
