#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

#include "platform/buffer_allocator.h"

namespace pelko {

// A list whose room comes from a BufferAllocator, so that a list that cannot grow says so
// (NoMemory, with the bytes it asked for) instead of ending the process: the payload's entry
// list, which a payload of millions of entries makes large. Move-only.
template <class T>
class FallibleList {
    static_assert(std::is_nothrow_move_constructible_v<T>);
    static_assert(alignof(T) <= alignof(SharedBytes::Block));

public:
    explicit FallibleList(BufferAllocator& memory) : memory_(&memory) {}
    FallibleList(FallibleList&& other) noexcept
        : memory_(other.memory_), room_(std::move(other.room_)),
          size_(std::exchange(other.size_, 0)), capacity_(std::exchange(other.capacity_, 0)) {}
    FallibleList& operator=(FallibleList&& other) noexcept {
        if (this != &other) {
            clear();
            memory_ = other.memory_;
            room_ = std::move(other.room_);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~FallibleList() { clear(); }

    // Room for at least `count` elements; nothing changes when it cannot be had.
    std::expected<void, NoMemory> reserve(std::size_t count) {
        if (count <= capacity_) return {};
        std::expected<SharedBytes, NoMemory> room = allocate_elements<T>(*memory_, count);
        if (!room) return std::unexpected(room.error());
        T* moved = reinterpret_cast<T*>(room->get());
        for (std::size_t i = 0; i < size_; ++i) {
            new (moved + i) T(std::move(data()[i]));
            data()[i].~T();
        }
        room_ = std::move(*room);
        capacity_ = count;
        return {};
    }
    // Appends, doubling the room when it is full.
    std::expected<void, NoMemory> append(T&& value) {
        if (size_ == capacity_) {
            if (auto grown = reserve(capacity_ < 8 ? 8 : 2 * capacity_); !grown) return grown;
        }
        new (data() + size_) T(std::move(value));
        ++size_;
        return {};
    }
    // Drops every element and the room.
    void clear() {
        for (std::size_t i = 0; i < size_; ++i) data()[i].~T();
        size_ = 0;
        capacity_ = 0;
        room_.reset();
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    const T& front() const { return data()[0]; }
    const T& back() const { return data()[size_ - 1]; }
    operator std::span<const T>() const { return {data(), size_}; }

private:
    T* data() const { return reinterpret_cast<T*>(room_.get()); }

    BufferAllocator* memory_;
    SharedBytes room_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace pelko
