#pragma once
// A zero-filled array on the heap for buffers as large as a picture: when the memory is not there,
// `allocate` answers false instead of ending the program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>

template <typename T>
class HeapArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    HeapArray() = default;

    // `count` x `times` zeroed elements in place of the old ones; false, and empty, when they do not fit in
    // memory (or in a size_t).
    bool allocate(std::size_t count, std::size_t times = 1)
    {
        items_.reset();
        size_ = 0;
        if (times != 0 && count > SIZE_MAX / times)
            return false;
        count *= times;
        if (count == 0)
            return true;
        items_.reset(static_cast<T*>(std::calloc(count, sizeof(T))));  // calloc refuses an overflowing size
        if (!items_)
            return false;
        size_ = count;
        return true;
    }

    T* data() { return items_.get(); }
    const T* data() const { return items_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t index) { return items_.get()[index]; }
    const T& operator[](std::size_t index) const { return items_.get()[index]; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    const T& back() const { return items_.get()[size_ - 1]; }

private:
    struct Free {
        void operator()(T* items) const { std::free(items); }
    };
    std::unique_ptr<T, Free> items_;
    std::size_t size_ = 0;
};
