// Fuzzes the installer's one-pass inflate-and-read against the two-step reference (inflate the
// whole container under a cap, then read it): both must give the same entries or the same
// failure text. Memory stays bounded because a declared data length that the input left could
// never inflate to is refused before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"
#include "payload/unpack/unpack_payload.h"

namespace {

constexpr std::uint64_t kLimit = 1u << 22;
pelko::HeapAllocator heap;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> stored(reinterpret_cast<const std::byte*>(data), size);
    const auto container = pelko::inflate_payload(stored, kLimit);
    if (!container && container.error().kind == pelko::PayloadFailureKind::too_large) {
        return 0;  // too large for the reference; the one-pass reader is not compared
    }
    const auto unpacked = pelko::unpack_payload(stored, heap);
    if (!container) {
        if (unpacked || unpacked.error().text() != container.error().text()) std::abort();
        return 0;
    }
    const auto read = pelko::read_payload(*container);
    if (read.has_value() != unpacked.has_value()) std::abort();
    if (!read) {
        if (read.error().text() != unpacked.error().text()) std::abort();
        return 0;
    }
    if (read->size() != unpacked->size()) std::abort();
    for (std::size_t i = 0; i < read->size(); ++i) {
        const auto& a = (*read)[i];
        const auto& b = (*unpacked)[i];
        if (a.name() != b.name() || a.size() != b.size()) std::abort();
        if (!std::equal(a.data().begin(), a.data().end(), b.data().begin())) std::abort();
    }
    return 0;
}
