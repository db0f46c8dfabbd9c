#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "payload/container/fallible_list.h"
#include "platform/buffer_allocator.h"

namespace pelko {

// One file of the payload: its name (UTF-8, a relative path with '/' separators, checked by
// read_payload) and its bytes. The bytes live in a buffer owned jointly by the entries that
// view it, so entries can share one allocation; copying an entry never copies its bytes.
class PayloadEntry {
public:
    PayloadEntry() = default;
    // The entry views `length` bytes of `storage` from `offset`; the range lies inside it.
    PayloadEntry(std::string name, SharedBytes storage, std::size_t offset,
                 std::size_t length)
        : name_(std::move(name)), storage_(std::move(storage)), offset_(offset), length_(length) {}

    const std::string& name() const { return name_; }
    std::span<const std::byte> data() const {
        if (length_ == 0) return {};
        return std::span<const std::byte>(storage_.get() + offset_, length_);
    }
    std::uint64_t size() const { return length_; }

private:
    std::string name_;
    SharedBytes storage_;
    std::size_t offset_ = 0;
    std::size_t length_ = 0;
};

// The payload's entries in container order, in memory that the platform gives or refuses.
using EntryList = FallibleList<PayloadEntry>;

}  // namespace pelko
