#include "sha256.h"

#include <array>

#include "host_os.h"

namespace pelko::packer {
namespace {

std::string hex(std::span<const unsigned char> digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

}  // namespace

std::string sha256_hex(std::span<const std::byte> bytes) { return hex(host::sha256(bytes)); }

}  // namespace pelko::packer
