#include "runtime/sha256.h"

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace ba {

namespace {

constexpr std::array<std::uint32_t, 64> round_constants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotate_right(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The 64 rounds of one block, portable.
void compress_portable(std::array<std::uint32_t, 8>& state_, const unsigned char* block) {
  std::array<std::uint32_t, 64> w{};
  for (int t = 0; t < 16; ++t)
    w[t] = static_cast<std::uint32_t>(block[4 * t]) << 24 |
           static_cast<std::uint32_t>(block[4 * t + 1]) << 16 |
           static_cast<std::uint32_t>(block[4 * t + 2]) << 8 |
           static_cast<std::uint32_t>(block[4 * t + 3]);
  for (int t = 16; t < 64; ++t) {
    const std::uint32_t s0 =
        rotate_right(w[t - 15], 7) ^ rotate_right(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const std::uint32_t s1 =
        rotate_right(w[t - 2], 17) ^ rotate_right(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int t = 0; t < 64; ++t) {
    const std::uint32_t big1 = rotate_right(e, 6) ^ rotate_right(e, 11) ^ rotate_right(e, 25);
    const std::uint32_t choose = (e & f) ^ (~e & g);
    const std::uint32_t t1 = h + big1 + choose + round_constants[t] + w[t];
    const std::uint32_t big0 = rotate_right(a, 2) ^ rotate_right(a, 13) ^ rotate_right(a, 22);
    const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const std::uint32_t t2 = big0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  state_[5] += f;
  state_[6] += g;
  state_[7] += h;
}

#if defined(__x86_64__)
bool processor_has_sha() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The rounds on the processor's SHA instructions. The state is kept as the
// instructions want it: ABEF in one register, CDGH in the other. Message
// words rotate through four registers; group g (rounds 4g..4g+3) extends
// the schedule for the groups after it.
__attribute__((target("sha,sse4.1,ssse3"))) void compress_hardware(
    std::array<std::uint32_t, 8>& state, const unsigned char* data, std::size_t count) {
  const __m128i byte_order = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  tmp = _mm_shuffle_epi32(tmp, 0xB1);                // CDAB
  state1 = _mm_shuffle_epi32(state1, 0x1B);          // EFGH
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH
  for (; count > 0; --count, data += 64) {
    const __m128i abef = state0;
    const __m128i cdgh = state1;
    __m128i m[4];
    // Unrolled, the message words stay in registers.
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      if (g < 4)
        m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)),
                                byte_order);
      const __m128i current = m[g % 4];
      __m128i words = _mm_add_epi32(
          current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&round_constants[4 * g])));
      state1 = _mm_sha256rnds2_epu32(state1, state0, words);
      if (g >= 3 && g <= 14) {
        __m128i& next = m[(g + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[(g + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
      }
      words = _mm_shuffle_epi32(words, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, words);
      if (g >= 1 && g <= 12) m[(g + 3) % 4] = _mm_sha256msg1_epu32(m[(g + 3) % 4], current);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }
  tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);     // ABEF
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), state1);
}
#else
bool processor_has_sha() { return false; }
void compress_hardware(std::array<std::uint32_t, 8>&, const unsigned char*, std::size_t) {}
#endif

}  // namespace

Sha256::Sha256(bool hardware)
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
  static const bool available = processor_has_sha();
  hardware_ = hardware && available;
}

void Sha256::compress(const unsigned char* blocks, std::size_t count) {
  if (hardware_) return compress_hardware(state_, blocks, count);
  for (std::size_t k = 0; k < count; ++k) compress_portable(state_, blocks + 64 * k);
}

void Sha256::add(std::string_view bytes) {
  total_bytes_ += bytes.size();
  const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  while (left > 0) {
    if (pending_size_ == 0 && left >= 64) {
      const std::size_t whole = left / 64;
      compress(next, whole);
      next += 64 * whole;
      left -= 64 * whole;
      continue;
    }
    const std::size_t taken = std::min(left, 64 - pending_size_);
    std::copy(next, next + taken, pending_.begin() + static_cast<long>(pending_size_));
    pending_size_ += taken;
    next += taken;
    left -= taken;
    if (pending_size_ == 64) {
      compress(pending_.data(), 1);
      pending_size_ = 0;
    }
  }
}

// Padding: a 1 bit, zeros up to 56 bytes of the last block, then the length
// in bits as a big-endian 64-bit number.
std::string Sha256::hex_digest() {
  const std::uint64_t bits = total_bytes_ * 8;
  std::string tail(1, '\x80');
  const std::size_t used = (pending_size_ + 1) % 64;
  tail.append(used <= 56 ? 56 - used : 120 - used, '\0');
  for (int shift = 56; shift >= 0; shift -= 8)
    tail.push_back(static_cast<char>((bits >> shift) & 0xff));
  add(tail);
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint32_t word : state_)
    for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(digits[(word >> shift) & 0xf]);
  return hex;
}

std::string sha256_hex(std::string_view bytes) {
  Sha256 digest;
  digest.add(bytes);
  return digest.hex_digest();
}

bool is_sha256_hex(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace ba
