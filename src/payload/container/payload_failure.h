#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>

namespace pelko {

// Why a payload could not be read. The installer and the packer decide on the kind alone; the
// installer's words for it are payload_failure_text's.
enum class PayloadFailureKind {
    cut_short,          // the container ends inside an entry: "payload cut short"
    name_not_utf8,      // an entry's name is not UTF-8: "name"
    bad_name,           // a name the installer refuses, on its own or beside another
    no_memory,          // memory for `bytes` bytes of the payload could not be had
    damaged,            // the stored bytes do not have the recorded CRC-32: "payload damaged"
    does_not_inflate,   // the decoder met invalid data
    inflate_cut_short,  // the stored bytes end before the stream's final block
    too_large,          // the stream inflates to more than `bytes` bytes (a reading with a cap)
};

// The decoder's output buffer that an inflate failure shows: at most its first 64 bytes.
inline constexpr std::size_t kShownInflatedBytes = 64;

// A payload failure and what its text is made of.
struct PayloadFailure {
    PayloadFailureKind kind = PayloadFailureKind::cut_short;
    // bad_name: the refused name.
    std::string name;
    // no_memory: the bytes that could not be had; too_large: the cap; an inflate failure: the
    // size of the decoder's output buffer at that point.
    std::uint64_t bytes = 0;
    // An inflate failure: the first min(64, bytes) bytes of that buffer, zeros after them.
    std::array<std::byte, kShownInflatedBytes> first{};

    static PayloadFailure of(PayloadFailureKind kind, std::uint64_t bytes = 0) {
        PayloadFailure failure;
        failure.kind = kind;
        failure.bytes = bytes;
        return failure;
    }
    static PayloadFailure bad(std::string name) {
        PayloadFailure failure = of(PayloadFailureKind::bad_name);
        failure.name = std::move(name);
        return failure;
    }
    static PayloadFailure no_memory(std::uint64_t bytes) {
        return of(PayloadFailureKind::no_memory, bytes);
    }
    // An inflate failure (does_not_inflate or inflate_cut_short) of a buffer of `buffer_size`
    // bytes whose first ones are `first` (any beyond the 64th are not kept).
    static PayloadFailure inflate(PayloadFailureKind kind, std::span<const std::byte> first,
                                  std::uint64_t buffer_size);

    bool is_inflate_failure() const {
        return kind == PayloadFailureKind::does_not_inflate ||
               kind == PayloadFailureKind::inflate_cut_short;
    }

    // The installer's words (payload_failure_text).
    std::string text() const;

    friend bool operator==(const PayloadFailure&, const PayloadFailure&) = default;
};

// The installer's text of a payload failure:
//   cut_short          "payload cut short"
//   name_not_utf8      "name"
//   bad_name           "bad name {name}"
//   no_memory          "not enough memory for the payload ({bytes} bytes)"
//   damaged            "payload damaged"
//   does_not_inflate / inflate_cut_short
//                      "DecompressError { status: Failed / FailedCannotMakeProgress, output:
//                      [{bytes}] }", the buffer's bytes as decimal values separated by ", "; of a
//                      buffer of more than 64 bytes the first 64, then ", … (N more)"
//   too_large          "payload inflates to more than {bytes} bytes"
std::string payload_failure_text(const PayloadFailure& failure);

inline std::string PayloadFailure::text() const { return payload_failure_text(*this); }

template <class T>
using PayloadResult = std::expected<T, PayloadFailure>;

inline std::unexpected<PayloadFailure> payload_fail(PayloadFailure failure) {
    return std::unexpected(std::move(failure));
}
inline std::unexpected<PayloadFailure> payload_fail(PayloadFailureKind kind) {
    return std::unexpected(PayloadFailure::of(kind));
}

}  // namespace pelko
