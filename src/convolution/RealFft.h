#pragma once
// The concrete real FFT plans: one class per size N = 128 ... 16384. Each
// object is a small handle to private tables and a work buffer allocated by
// the constructor; nothing is allocated by a transform.

#include "convolution/RealFftPlan.h"

#include <memory>

namespace brimtone {

template <int N>
class RealFft final : public RealFftPlan {
public:
    static_assert(N >= 128 && N <= 16384 && (N & (N - 1)) == 0, "sizes 128 ... 16384, powers of two");

    RealFft();
    ~RealFft() override;
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    void forward(float* spectrum, const float* samples) override;
    void inverse(const float* spectrum, float* samples) override;
    void rescale(float* buffer) const override;
    int size() const override { return N; }

private:
    struct State;
    std::unique_ptr<State> state_;
};

extern template class RealFft<128>;
extern template class RealFft<256>;
extern template class RealFft<512>;
extern template class RealFft<1024>;
extern template class RealFft<2048>;
extern template class RealFft<4096>;
extern template class RealFft<8192>;
extern template class RealFft<16384>;

// The plan for `size` (one of the eight sizes), or none for any other size.
std::unique_ptr<RealFftPlan> createRealFftPlan(int size);

} // namespace brimtone
