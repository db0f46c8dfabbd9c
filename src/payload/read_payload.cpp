#include "payload/read_payload.h"

#include <algorithm>
#include <cstring>

#include "payload/container_reader.h"

namespace pelko {
namespace {

// The container in memory; entries get copies of their bytes.
class MemorySource {
public:
    explicit MemorySource(std::span<const std::byte> container) : rest_(container) {}

    std::size_t read(std::span<std::byte> out) {
        const std::size_t count = std::min(out.size(), rest_.size());
        if (count != 0) std::memcpy(out.data(), rest_.data(), count);
        rest_ = rest_.subspan(count);
        return count;
    }

    std::optional<std::shared_ptr<const std::byte[]>> read_data(std::uint64_t length) {
        if (length > rest_.size()) return std::nullopt;
        if (length == 0) return std::shared_ptr<const std::byte[]>();
        std::shared_ptr<std::byte[]> copy(new std::byte[length]);
        std::memcpy(copy.get(), rest_.data(), length);
        rest_ = rest_.subspan(length);
        return copy;
    }

private:
    std::span<const std::byte> rest_;
};

}  // namespace

StepResult<std::vector<PayloadEntry>> read_payload(std::span<const std::byte> container) {
    MemorySource source(container);
    return read_container(source);
}

}  // namespace pelko
