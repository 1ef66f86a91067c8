#include "package/blowfish.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <openssl/blowfish.h>
#endif

namespace {

std::vector<uint8_t> FromHex(const char* hex) {
  std::vector<uint8_t> bytes;
  for (; hex[0] != 0 && hex[1] != 0; hex += 2) {
    unsigned value = 0;
    sscanf(hex, "%2x", &value);
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

uint32_t Big32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

std::unique_ptr<BlowfishContext> Schedule(const std::vector<uint8_t>& key) {
  std::unique_ptr<BlowfishContext> ctx(new BlowfishContext);
  BlowfishInit(ctx.get(), key.data(), static_cast<int>(key.size()));
  return ctx;
}

bool SameSchedule(const BlowfishContext& a, const BlowfishContext& b) {
  return memcmp(a.p, b.p, sizeof a.p) == 0 && memcmp(a.s, b.s, sizeof a.s) == 0;
}

struct KnownAnswer {
  const char* key;
  const char* plain;   // big-endian halves, as published
  const char* cipher;
};

// Published vectors, plus the variable-key-length set (prefixes of one 24-byte key), which also
// covers key lengths that do not divide 72.
const KnownAnswer kKnownAnswers[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2C3B4", "FEDCBA9876543210", "B39E44481BDB1E6E"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

TEST(Blowfish, KnownAnswersOnWordsAndBytes) {
  for (const KnownAnswer& row : kKnownAnswers) {
    SCOPED_TRACE(std::string(row.key) + " / " + row.plain);
    const auto ctx = Schedule(FromHex(row.key));
    const std::vector<uint8_t> plain = FromHex(row.plain);
    const std::vector<uint8_t> cipher = FromHex(row.cipher);

    uint32_t left = Big32(&plain[0]);
    uint32_t right = Big32(&plain[4]);
    BlowfishEncipher(ctx.get(), &left, &right);
    EXPECT_EQ(left, Big32(&cipher[0]));
    EXPECT_EQ(right, Big32(&cipher[4]));
    BlowfishDecipher(ctx.get(), &left, &right);
    EXPECT_EQ(left, Big32(&plain[0]));
    EXPECT_EQ(right, Big32(&plain[4]));

    // The block functions see each half as a little-endian word, the left half first; two
    // blocks, then four bytes that make no whole block and must stay as they are.
    auto littleBlock = [](const std::vector<uint8_t>& bigHalves) {
      return std::vector<uint8_t>{bigHalves[3], bigHalves[2], bigHalves[1], bigHalves[0],
                                  bigHalves[7], bigHalves[6], bigHalves[5], bigHalves[4]};
    };
    std::vector<uint8_t> bytes = littleBlock(plain);
    bytes.insert(bytes.end(), bytes.begin(), bytes.end());
    bytes.insert(bytes.end(), {1, 2, 3, 4});
    std::vector<uint8_t> expected = littleBlock(cipher);
    expected.insert(expected.end(), expected.begin(), expected.end());
    expected.insert(expected.end(), {1, 2, 3, 4});
    const std::vector<uint8_t> original = bytes;
    BlowfishEncipherBlocks(ctx.get(), bytes.data(), bytes.size());
    EXPECT_EQ(bytes, expected);
    BlowfishDecipherBlocks(ctx.get(), bytes.data(), bytes.size());
    EXPECT_EQ(bytes, original);
  }
}

// Out of place: the same blocks as in place, the ragged tail copied as it is, and the source
// untouched; in == out is the in-place form.
TEST(Blowfish, DecipherToAnotherBufferMatchesInPlace) {
  const auto ctx = Schedule(FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677"));
  std::mt19937 rng(7);
  for (size_t length : {0u, 5u, 8u, 61u, 4096u}) {
    SCOPED_TRACE("length " + std::to_string(length));
    std::vector<uint8_t> source(length);
    for (uint8_t& b : source) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> inPlace = source;
    BlowfishDecipherBlocks(ctx.get(), inPlace.data(), inPlace.size());
    std::vector<uint8_t> out(length + 1, 0xA5);  // one canary byte past the end
    const std::vector<uint8_t> original = source;
    BlowfishDecipherBlocksTo(ctx.get(), source.data(), out.data(), length);
    EXPECT_EQ(source, original);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), inPlace);
    EXPECT_EQ(out.back(), 0xA5);
    BlowfishDecipherBlocksTo(ctx.get(), source.data(), source.data(), length);
    EXPECT_EQ(source, inPlace);
  }
}

TEST(Blowfish, KeyBytesCycleAndStopAt72) {
  const std::vector<uint8_t> five = FromHex("0102030405");
  std::vector<uint8_t> repeated;
  while (repeated.size() < 80) repeated.insert(repeated.end(), five.begin(), five.end());
  const auto reference = Schedule(five);
  EXPECT_TRUE(SameSchedule(*reference, *Schedule(repeated)));  // the key continues where it stopped

  std::vector<uint8_t> tail = repeated;
  tail[72] ^= 0xFF;
  tail[79] ^= 0xFF;
  EXPECT_TRUE(SameSchedule(*reference, *Schedule(tail)));
  tail[71] ^= 0xFF;
  EXPECT_FALSE(SameSchedule(*reference, *Schedule(tail)));
}

// Fixed point with 32-bit limbs, most significant first; limb 0 is the integer part.
using Fixed = std::vector<uint32_t>;

// Limbs before `from` are known to be zero and stay so.
void DivideSmall(Fixed* x, uint32_t divisor, size_t from = 0) {
  uint64_t rest = 0;
  for (size_t i = from; i < x->size(); ++i) {
    const uint64_t current = rest << 32 | (*x)[i];
    (*x)[i] = static_cast<uint32_t>(current / divisor);
    rest = current % divisor;
  }
}

void MultiplySmall(Fixed* x, uint32_t factor) {
  uint64_t carry = 0;
  for (size_t i = x->size(); i-- > 0;) {
    const uint64_t current = static_cast<uint64_t>((*x)[i]) * factor + carry;
    (*x)[i] = static_cast<uint32_t>(current);
    carry = current >> 32;
  }
}

void AddOrSubtract(Fixed* x, const Fixed& y, bool subtract) {
  int64_t carry = 0;
  for (size_t i = x->size(); i-- > 0;) {
    const int64_t current = static_cast<int64_t>((*x)[i]) + (subtract ? -static_cast<int64_t>(y[i]) : y[i]) + carry;
    (*x)[i] = static_cast<uint32_t>(current);
    carry = current < 0 ? -1 : current >> 32;
  }
}

// arctan(1/x) as the alternating series of 1 / ((2k + 1) x^(2k + 1)).
Fixed ArcTanOfInverse(uint32_t x, size_t limbs) {
  Fixed power(limbs, 0);
  power[0] = 1;
  DivideSmall(&power, x);
  Fixed sum = power;
  bool subtract = true;
  size_t from = 0;  // the powers shrink: skip their leading zero limbs
  for (uint32_t n = 3;; n += 2, subtract = !subtract) {
    DivideSmall(&power, x * x, from);
    while (from < limbs && power[from] == 0) ++from;
    if (from == limbs) break;
    Fixed term = power;
    DivideSmall(&term, n, from);
    AddOrSubtract(&sum, term, subtract);
  }
  return sum;
}

TEST(Blowfish, InitialStateIsThePiFraction) {
  // pi = 16 arctan(1/5) - 4 arctan(1/239); two guard limbs absorb the truncation of each term.
  constexpr size_t kWords = 18 + 4 * 256;
  Fixed pi = ArcTanOfInverse(5, 1 + kWords + 2);
  MultiplySmall(&pi, 4);
  AddOrSubtract(&pi, ArcTanOfInverse(239, 1 + kWords + 2), true);
  MultiplySmall(&pi, 4);
  ASSERT_EQ(pi[0], 3u);
  for (size_t i = 0; i < 18; ++i) ASSERT_EQ(kBlowfishInitialP[i], pi[1 + i]) << "P word " << i;
  for (size_t i = 0; i < 4 * 256; ++i) ASSERT_EQ(kBlowfishInitialS[i], pi[1 + 18 + i]) << "S word " << i;
}

#if !defined(_WIN32)
TEST(Blowfish, AgreesWithLibcrypto) {
  std::mt19937 rng(20240611);
  for (int length = 1; length <= 80; ++length) {
    SCOPED_TRACE("key length " + std::to_string(length));
    std::vector<uint8_t> key(length);
    for (uint8_t& b : key) b = static_cast<uint8_t>(rng());
    BF_KEY reference;
    BF_set_key(&reference, length, key.data());
    const auto ctx = Schedule(key);
    for (int i = 0; i < 18; ++i) ASSERT_EQ(ctx->p[i], reference.P[i]) << "P word " << i;
    for (int i = 0; i < 4 * 256; ++i) ASSERT_EQ(ctx->s[i], reference.S[i]) << "S word " << i;

    for (int block = 0; block < 8; ++block) {
      // BF_encrypt takes the halves as words: data[0] is the left half.
      BF_LONG data[2] = {static_cast<BF_LONG>(rng()), static_cast<BF_LONG>(rng())};
      uint32_t left = data[0];
      uint32_t right = data[1];
      BF_encrypt(data, &reference);
      BlowfishEncipher(ctx.get(), &left, &right);
      ASSERT_EQ(left, data[0]);
      ASSERT_EQ(right, data[1]);
      BF_decrypt(data, &reference);
      BlowfishDecipher(ctx.get(), &left, &right);
      ASSERT_EQ(left, data[0]);
      ASSERT_EQ(right, data[1]);
    }
  }
}
#endif

}  // namespace
