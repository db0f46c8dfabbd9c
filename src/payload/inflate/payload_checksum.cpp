#include "payload/inflate/payload_checksum.h"

#include <array>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define PELKO_CRC_FOLDING 1
#endif

namespace pelko {
namespace {

// The CRC-32 of zlib (the reflected polynomial 0xEDB88320), a byte at a time.
constexpr std::array<std::uint32_t, 256> kByteTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c >> 1) ^ ((c & 1) != 0 ? 0xEDB88320u : 0u);
        table[n] = c;
    }
    return table;
}();

std::uint32_t bytewise(std::uint32_t c, const std::byte* at, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        c = kByteTable[(c ^ static_cast<std::uint8_t>(at[i])) & 0xFF] ^ (c >> 8);
    }
    return c;
}

#ifdef PELKO_CRC_FOLDING

// Carry-less multiplication folds 64 bytes at a time into four 128-bit lanes, then the lanes
// into one, then that into the 32-bit remainder (Barrett reduction). The constants are powers
// of x modulo the polynomial, bit-reflected and shifted left by one: x^(512+32) and x^(512-32)
// to fold four lanes, x^(128+32) and x^(128-32) to fold one, x^64 for the last 32 bits, and the
// polynomial itself with floor(x^64 / P) for the reduction.
bool can_fold() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    return (c & bit_PCLMUL) != 0 && (c & bit_SSE4_1) != 0;
}

#define PELKO_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

PELKO_FOLDING_TARGET __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

PELKO_FOLDING_TARGET __m128i load_at(const std::byte* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

PELKO_FOLDING_TARGET std::uint32_t folded(std::uint32_t crc, const std::byte* at,
                                          std::size_t size) {
    const __m128i by_four = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i by_one = _mm_set_epi64x(0xccaa009e, 0x1751997d0);
    const auto load = [at](std::size_t offset) { return load_at(at + offset); };
    __m128i lane[4] = {_mm_xor_si128(load(0), _mm_cvtsi32_si128(static_cast<int>(crc))),
                       load(16), load(32), load(48)};
    std::size_t offset = 64;
    for (; size - offset >= 64; offset += 64) {
        for (std::size_t i = 0; i < 4; ++i) {
            lane[i] = _mm_xor_si128(fold(lane[i], by_four), load(offset + 16 * i));
        }
    }
    __m128i x = _mm_xor_si128(fold(lane[0], by_one), lane[1]);
    x = _mm_xor_si128(fold(x, by_one), lane[2]);
    x = _mm_xor_si128(fold(x, by_one), lane[3]);
    for (; size - offset >= 16; offset += 16) x = _mm_xor_si128(fold(x, by_one), load(offset));
    // 128 bits to 64, then to 32 with 32 zero bits appended, then the Barrett reduction.
    x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(x, by_one, 0x10));
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    const __m128i by_x64 = _mm_set_epi64x(0, 0x163cd6124);
    x = _mm_xor_si128(_mm_srli_si128(x, 4),
                      _mm_clmulepi64_si128(_mm_and_si128(x, low32), by_x64, 0x00));
    const __m128i barrett = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10), low32);
    t = _mm_clmulepi64_si128(t, barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(t, x), 1));
}

#endif

}  // namespace

std::uint32_t payload_crc32(std::span<const std::byte> stored, std::uint32_t before) {
    std::uint32_t c = ~before;
    std::size_t done = 0;
#ifdef PELKO_CRC_FOLDING
    if (stored.size() >= 64 && can_fold()) {
        done = stored.size() / 16 * 16;
        c = folded(c, stored.data(), done);
    }
#endif
    return ~bytewise(c, stored.data() + done, stored.size() - done);
}

PayloadResult<void> check_payload_crc32(std::span<const std::byte> stored, std::uint32_t recorded) {
    if (payload_crc32(stored) != recorded) return payload_fail(PayloadFailureKind::damaged);
    return {};
}

}  // namespace pelko
