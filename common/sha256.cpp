#include "common/sha256.h"

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace movrix {
namespace {

constexpr std::array<uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

using State = std::array<uint32_t, 8>;

uint32_t RotateRight(uint32_t value, int bits) {
  return value >> bits | value << (32 - bits);
}

// Mixes one 64-byte block into `state`, in plain C++.
void CompressPortably(State& state, const unsigned char* block) {
  std::array<uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
           uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ w[i - 15] >> 3;
    const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ w[i - 2] >> 10;
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  // The eight working variables as named locals: shifting them through an array each round
  // would cost more than the round itself.
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const uint32_t choice = (e & f) ^ (~e & g);
    const uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
    const uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
    const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + s0 + majority;
  }
  const State v = {a, b, c, d, e, f, g, h};
  for (int i = 0; i < 8; ++i) state[i] += v[i];
}

// Mixes one 64-byte block into `state` with the processor's SHA instructions, four rounds per
// pair of them. They keep the state as the lanes ABEF and CDGH, and want the message words in
// their byte order.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithShaInstructions(
    State& state, const unsigned char* block) {
  const __m128i big_endian_words = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i*)&state[0]), 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i*)&state[4]), 0x1B);
  const __m128i abef_before = _mm_alignr_epi8(dcba, efgh, 8);
  const __m128i cdgh_before = _mm_blend_epi16(efgh, dcba, 0xF0);
  __m128i abef = abef_before, cdgh = cdgh_before;
  __m128i words[4];  // the last sixteen words of the schedule, four to a lane group
  for (int group = 0; group < 16; ++group) {
    __m128i& next = words[group % 4];
    if (group < 4) {
      next =
          _mm_shuffle_epi8(_mm_loadu_si128((const __m128i*)(block + 16 * group)), big_endian_words);
    } else {
      const __m128i& last = words[(group + 3) % 4];
      next = _mm_sha256msg1_epu32(next, words[(group + 1) % 4]);
      next = _mm_add_epi32(next, _mm_alignr_epi8(last, words[(group + 2) % 4], 4));
      next = _mm_sha256msg2_epu32(next, last);
    }
    __m128i message =
        _mm_add_epi32(next, _mm_loadu_si128((const __m128i*)&kRoundConstants[4 * group]));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
    message = _mm_shuffle_epi32(message, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
  }
  abef = _mm_add_epi32(abef, abef_before);
  cdgh = _mm_add_epi32(cdgh, cdgh_before);
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128((__m128i*)&state[0], _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128((__m128i*)&state[4], _mm_alignr_epi8(dchg, feba, 8));
}

// Whether the processor has the SHA instructions and the SSE ones they come with (most made
// since 2017 do; older ones take the plain path).
bool HasShaInstructions() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_SSSE3) || !(ecx & bit_SSE4_1))
    return false;
  return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_SHA);
}

// Mixes one 64-byte block into `state`, the fastest way this processor offers: hashing every
// installed file is most of what recording them costs.
void Compress(State& state, const unsigned char* block) {
  static const auto compress =
      HasShaInstructions() ? CompressWithShaInstructions : CompressPortably;
  compress(state, block);
}

}  // namespace

void Sha256::Add(const char* bytes, size_t size) {
  const auto* next = reinterpret_cast<const unsigned char*>(bytes);
  length_ += size;
  if (pending_size_ > 0) {
    const size_t taken = std::min(size, pending_.size() - pending_size_);
    std::copy(next, next + taken, pending_.begin() + pending_size_);
    pending_size_ += taken;
    next += taken;
    size -= taken;
    if (pending_size_ < pending_.size()) return;
    Compress(state_, pending_.data());
    pending_size_ = 0;
  }
  // Whole blocks are mixed where they lie; only the tail waits for more.
  for (; size >= 64; next += 64, size -= 64) Compress(state_, next);
  std::copy(next, next + size, pending_.begin());
  pending_size_ = size;
}

std::string Sha256::Hex() {
  // The message's tail padded: a 1 bit, zeros up to 8 bytes short of a whole block, and the
  // message's length in bits.
  std::string padding(1, '\x80');
  padding.append((64 + 55 - pending_size_) % 64, '\0');
  const uint64_t bit_length = length_ * 8;
  for (int shift = 56; shift >= 0; shift -= 8) padding += char(bit_length >> shift);
  Add(padding.data(), padding.size());
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint32_t word : state_)
    for (int shift = 28; shift >= 0; shift -= 4) hex += kDigits[word >> shift & 0xF];
  return hex;
}

std::string Sha256Hex(const std::string& bytes) {
  Sha256 digest;
  digest.Add(bytes.data(), bytes.size());
  return digest.Hex();
}

}  // namespace movrix
