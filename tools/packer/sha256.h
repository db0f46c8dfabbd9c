#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace pelko::packer {

// The SHA-256 of the bytes in lower-case hexadecimal (64 digits): from OpenSSL's libcrypto, or
// on Windows from the system's own CNG (bcrypt.dll).
std::string sha256_hex(std::span<const std::byte> bytes);

}  // namespace pelko::packer
