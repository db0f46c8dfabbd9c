#include "sha256.h"

#include <array>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

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

#ifdef _WIN32

std::string sha256_hex(std::span<const std::byte> bytes) {
    // One provider for the program's life: opening one costs more than hashing a small file.
    static const BCRYPT_ALG_HANDLE sha256 = [] {
        BCRYPT_ALG_HANDLE provider = nullptr;
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            throw std::runtime_error("SHA-256: no provider");
        }
        return provider;
    }();
    std::array<unsigned char, 32> digest{};
    // BCryptHash takes at most 4 GiB - 1 at once, which is as long as an entry may be.
    auto* input = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(bytes.data()));
    const NTSTATUS status = BCryptHash(sha256, nullptr, 0, input, static_cast<ULONG>(bytes.size()),
                                       digest.data(), static_cast<ULONG>(digest.size()));
    if (!BCRYPT_SUCCESS(status)) throw std::runtime_error("SHA-256: BCryptHash failed");
    return hex(digest);
}

#else

std::string sha256_hex(std::span<const std::byte> bytes) {
    std::array<unsigned char, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size()) {
        throw std::runtime_error("SHA-256: EVP_Digest failed");
    }
    return hex(digest);
}

#endif

}  // namespace pelko::packer
