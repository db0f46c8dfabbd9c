// zlib's checksums: its CRC-32 brings 12 KiB of tables, its Adler-32 2 KiB of code, and the raw
// inflate that the installer uses never calls either (only zlib and gzip wrappers do). These
// give the same results from the core's CRC-32 and a plain Adler-32, so that zlib's are not linked.
#include <zlib.h>

#include <cstdint>
#include <span>

#include "payload/inflate/payload_checksum.h"

extern "C" uLong crc32(uLong crc, const Bytef* buf, uInt len) {
    if (buf == nullptr) return 0;
    return pelko::payload_crc32(std::as_bytes(std::span(buf, len)),
                                static_cast<std::uint32_t>(crc));
}

extern "C" uLong adler32(uLong adler, const Bytef* buf, uInt len) {
    if (buf == nullptr) return 1;
    uLong a = adler & 0xFFFF;
    uLong b = (adler >> 16) & 0xFFFF;
    for (uInt i = 0; i < len; ++i) {
        a = (a + buf[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}
