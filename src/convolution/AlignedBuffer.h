#pragma once
// A zero-filled float array of fixed length, allocated once on a 64-byte
// boundary (a cache line) and freed with its owner.

#include <cstddef>
#include <memory>
#include <new>

namespace brimtone {

class AlignedBuffer {
public:
    explicit AlignedBuffer(int size) : data_(static_cast<float*>(::operator new(bytes(size), alignment))), size_(size)
    {
        for (int i = 0; i < size; ++i)
            data_.get()[i] = 0.0f;
    }

    float* data() { return data_.get(); }
    const float* data() const { return data_.get(); }
    int size() const { return size_; }
    float& operator[](int index) { return data_.get()[index]; }
    float operator[](int index) const { return data_.get()[index]; }
    void clear()
    {
        for (int i = 0; i < size_; ++i)
            data_.get()[i] = 0.0f;
    }

private:
    static constexpr std::align_val_t alignment{64};
    static std::size_t bytes(int size) { return static_cast<std::size_t>(size) * sizeof(float); }
    struct Release {
        void operator()(float* data) const { ::operator delete(data, alignment); }
    };

    std::unique_ptr<float, Release> data_;
    int size_;
};

} // namespace brimtone
