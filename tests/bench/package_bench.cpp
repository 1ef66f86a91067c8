// Decoding a blob (key schedule, decipherment, two CRC-32 checks, inflate) against inflating the
// same packed data alone: the ratio shows what the cipher and the checks add to plain inflate.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "package/blob_writer.h"
#include "package/blowfish.h"
#include "package/guard.h"
#include "tests/bench/ratio_reporter.h"

namespace {

constexpr int32_t kKeyOffset = 100;

struct Sample {
  std::vector<uint8_t> keyBlock;
  std::vector<uint8_t> plain;
  std::vector<uint8_t> blob;
  std::vector<uint8_t> packed;  // the raw DEFLATE stream inside the blob
  GuardLayout layout{kKeyOffset, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

// Text-like payload: deflates several times over, as the program's texts and layout images do.
Sample MakeSample(size_t plainSize) {
  Sample sample;
  uint32_t state = 2024;
  auto next = [&state] { return state = state * 1664525u + 1013904223u; };
  sample.keyBlock.resize(kKeyBlockLength);
  for (uint8_t& b : sample.keyBlock) b = static_cast<uint8_t>(next() >> 24);
  static const char* const kWords[] = {"layout ", "keys ", "install ", "the ", "language ", "system\r\n"};
  while (sample.plain.size() < plainSize) {
    const char* word = kWords[(next() >> 16) % 6];
    sample.plain.insert(sample.plain.end(), word, word + strlen(word));
  }
  sample.plain.resize(plainSize);

  CGuard guard(sample.layout);
  if (!guard.Load(sample.keyBlock.data(), kKeyBlockLength)) abort();
  if (!EncodeBlob(guard.Key(), kKeyWindowLength, sample.plain.data(), plainSize, 0, &sample.blob)) abort();
  std::vector<uint8_t> clear = sample.blob;
  BlowfishContext ctx;
  BlowfishInit(&ctx, guard.Key(), kKeyWindowLength);
  BlowfishDecipherBlocks(&ctx, clear.data(), clear.size());
  const uint32_t packedSize = clear[8] | clear[9] << 8 | clear[10] << 16 | static_cast<uint32_t>(clear[11]) << 24;
  sample.packed.assign(clear.begin() + 24, clear.begin() + 24 + packedSize);
  return sample;
}

const Sample& SampleOf(size_t plainSize) {
  static const Sample small = MakeSample(64 * 1024);
  static const Sample large = MakeSample(1024 * 1024);
  return plainSize == small.plain.size() ? small : large;
}

void DecodeBlob_ours(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<size_t>(state.range(0)));
  CGuard guard(sample.layout);
  if (!guard.Load(sample.keyBlock.data(), kKeyBlockLength)) abort();
  for (auto _ : state) {
    uint32_t size = static_cast<uint32_t>(sample.blob.size());
    uint8_t* plain = guard.DecodeBlob(sample.blob.data(), size, nullptr);
    if (plain == nullptr || size != sample.plain.size()) abort();
    benchmark::DoNotOptimize(plain);
    free(plain);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void DecodeBlob_baseline(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    uint8_t* plain = static_cast<uint8_t*>(malloc(sample.plain.size() + 2));
    if (plain == nullptr) abort();
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = const_cast<Bytef*>(sample.packed.data());
    stream.avail_in = static_cast<uInt>(sample.packed.size());
    stream.next_out = plain;
    stream.avail_out = static_cast<uInt>(sample.plain.size());
    if (inflate(&stream, Z_FINISH) != Z_STREAM_END) abort();
    inflateEnd(&stream);
    benchmark::DoNotOptimize(plain);
    free(plain);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(DecodeBlob_ours)->Name("DecodeBlob64K/ours")->Arg(64 * 1024);
BENCHMARK(DecodeBlob_baseline)->Name("DecodeBlob64K/baseline")->Arg(64 * 1024);
BENCHMARK(DecodeBlob_ours)->Name("DecodeBlob1M/ours")->Arg(1024 * 1024);
BENCHMARK(DecodeBlob_baseline)->Name("DecodeBlob1M/baseline")->Arg(1024 * 1024);

int main(int argc, char** argv) { return RunBenchmarksWithRatios(argc, argv); }
