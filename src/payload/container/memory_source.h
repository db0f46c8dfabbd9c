#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>

#include "payload/container/container_reader.h"
#include "platform/buffer_allocator.h"

namespace pelko {

// A container in memory, for read_container. Its entries either get copies of their bytes, in
// buffers from an allocator, or view the bytes in place in a buffer they then own jointly.
class MemorySource {
public:
    // Entries get copies: the container is only borrowed.
    MemorySource(std::span<const std::byte> container, BufferAllocator& memory)
        : bytes_(container), memory_(&memory) {}
    // Entries view `buffer`, which holds the container in its first `size` bytes.
    MemorySource(SharedBytes buffer, std::size_t size)
        : bytes_(buffer.get(), size), shared_(std::move(buffer)) {}

    std::size_t read(std::span<std::byte> out) {
        const std::size_t count = std::min(out.size(), bytes_.size() - position_);
        if (count != 0) std::memcpy(out.data(), bytes_.data() + position_, count);
        position_ += count;
        return count;
    }

    // How many entries lie whole in the rest of the container: the room the entry list will
    // need, when the container reads whole.
    std::size_t entries_ahead() const {
        std::size_t count = 0;
        for (auto header = entry_header_at(bytes_, position_);
             header && header->next <= bytes_.size();
             header = entry_header_at(bytes_, header->next)) {
            ++count;
        }
        return count;
    }

    PayloadResult<EntryData> read_data(std::uint64_t length) {
        if (length > bytes_.size() - position_) return payload_fail(PayloadFailureKind::cut_short);
        if (length == 0) return EntryData{};
        const auto size = static_cast<std::size_t>(length);
        EntryData data{shared_, position_};
        if (!shared_) {
            data = EntryData{memory_->allocate(size), 0};
            if (!data.storage) return no_memory_failure({length});
            std::memcpy(data.storage.get(), bytes_.data() + position_, size);
        }
        position_ += size;
        return data;
    }

private:
    std::span<const std::byte> bytes_;
    SharedBytes shared_;
    BufferAllocator* memory_ = nullptr;
    std::size_t position_ = 0;
};

}  // namespace pelko
