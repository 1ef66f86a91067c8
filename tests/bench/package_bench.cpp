// Blob decoding against its floor, and our Blowfish against libcrypto's.
//
// DecodeBlob (key schedule, decipherment into a copy, two CRC-32 checks, inflate, wipes) against
// the same steps each done alone on the same bytes into buffers made beforehand: the ratio is
// what DecodeBlob's own work adds (allocations, wipes, checks). Blowfish: our key schedule and
// decipherment of 64 KiB and 1 MiB against libcrypto's BF_set_key and BF_decrypt on the same
// little-endian words.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <openssl/blowfish.h>
#include <zlib.h>

#include "package/blob_writer.h"
#include "package/blowfish.h"
#include "package/crc32.h"
#include "package/guard.h"
#include "tests/bench/ratio_reporter.h"

namespace {

constexpr int32_t kKeyOffset = 100;

struct Sample {
  std::vector<uint8_t> keyBlock;
  std::vector<uint8_t> plain;
  std::vector<uint8_t> blob;
  std::vector<uint8_t> key;     // the key window of the loaded block
  uint32_t packedSize = 0;      // the raw DEFLATE stream after the 24-byte header
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
  sample.key.assign(guard.Key(), guard.Key() + kKeyWindowLength);
  if (!EncodeBlob(guard.Key(), kKeyWindowLength, sample.plain.data(), plainSize, 0, &sample.blob)) abort();
  std::vector<uint8_t> clear = sample.blob;
  BlowfishContext ctx;
  BlowfishInit(&ctx, guard.Key(), kKeyWindowLength);
  BlowfishDecipherBlocks(&ctx, clear.data(), clear.size());
  sample.packedSize = clear[8] | clear[9] << 8 | clear[10] << 16 | static_cast<uint32_t>(clear[11]) << 24;
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

// The floor: each step alone, into buffers made before the loop; only the plain buffer, which
// DecodeBlob hands to its caller, is allocated each time.
void DecodeBlob_baseline(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<size_t>(state.range(0)));
  BlowfishContext* ctx = static_cast<BlowfishContext*>(malloc(sizeof(BlowfishContext)));
  std::vector<uint8_t> clear(sample.blob.size());
  if (ctx == nullptr) abort();
  for (auto _ : state) {
    BlowfishInit(ctx, sample.key.data(), kKeyWindowLength);
    BlowfishDecipherBlocksTo(ctx, sample.blob.data(), clear.data(), clear.size());
    const uint8_t* packed = clear.data() + 24;
    benchmark::DoNotOptimize(Crc32(0, packed, sample.packedSize));
    uint8_t* plain = static_cast<uint8_t*>(malloc(sample.plain.size() + 2));
    if (plain == nullptr) abort();
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = const_cast<Bytef*>(packed);
    stream.avail_in = sample.packedSize;
    stream.next_out = plain;
    stream.avail_out = static_cast<uInt>(sample.plain.size());
    if (inflate(&stream, Z_FINISH) != Z_STREAM_END) abort();
    inflateEnd(&stream);
    benchmark::DoNotOptimize(Crc32(0, plain, sample.plain.size()));
    benchmark::DoNotOptimize(plain);
    free(plain);
  }
  free(ctx);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Our byte-wise CRC-32 (the program's) against zlib's braided one on the same plain text.
void Crc32_ours(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Crc32(0, sample.plain.data(), sample.plain.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Crc32_baseline(benchmark::State& state) {
  const Sample& sample = SampleOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, sample.plain.data(), static_cast<uInt>(sample.plain.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Random bytes to decipher.
std::vector<uint8_t> Noise(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = 7;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  return bytes;
}

// Key schedule and decipherment of range(0) bytes into another buffer.
void Blowfish_ours(benchmark::State& state) {
  const Sample& sample = SampleOf(64 * 1024);  // for its key
  const std::vector<uint8_t> in = Noise(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(in.size());
  BlowfishContext ctx;
  for (auto _ : state) {
    BlowfishInit(&ctx, sample.key.data(), kKeyWindowLength);
    BlowfishDecipherBlocksTo(&ctx, in.data(), out.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void Blowfish_baseline(benchmark::State& state) {
  const Sample& sample = SampleOf(64 * 1024);
  const std::vector<uint8_t> input = Noise(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> out(input.size());
  BF_KEY key;
  for (auto _ : state) {
    BF_set_key(&key, kKeyWindowLength, sample.key.data());
    const uint8_t* in = input.data();
    for (size_t at = 0; at + 8 <= out.size(); at += 8) {
      BF_LONG data[2];  // the halves as little-endian words, the left one first
      memcpy(data, in + at, 8);
      BF_decrypt(data, &key);
      memcpy(out.data() + at, data, 8);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(DecodeBlob_ours)->Name("DecodeBlob64K/ours")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(DecodeBlob_baseline)->Name("DecodeBlob64K/baseline")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(DecodeBlob_ours)->Name("DecodeBlob1M/ours")->Arg(1024 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(DecodeBlob_baseline)->Name("DecodeBlob1M/baseline")->Arg(1024 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Crc32_ours)->Name("Crc32_64K/ours")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Crc32_baseline)->Name("Crc32_64K/baseline")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Blowfish_ours)->Name("Blowfish64K/ours")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Blowfish_baseline)->Name("Blowfish64K/baseline")->Arg(64 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Blowfish_ours)->Name("Blowfish1M/ours")->Arg(1024 * 1024)->ComputeStatistics("min", MinimumOf);
BENCHMARK(Blowfish_baseline)->Name("Blowfish1M/baseline")->Arg(1024 * 1024)->ComputeStatistics("min", MinimumOf);

int main(int argc, char** argv) { return RunBenchmarksWithRatios(argc, argv); }
