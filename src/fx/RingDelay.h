#pragma once

#include <array>

namespace brimtone {

// Single-channel float delay line of Length samples whose write index moves downwards,
// so read(d) is the sample written d advances ago and read(0) the newest.
template <int Length>
class RingDelay {
 public:
  void advance() { index = index == 0 ? Length - 1 : index - 1; }

  void write(float x) { buffer[index] = x; }

  // d must lie in 0..Length-1.
  float read(int d) const {
    int i = index + d;
    if (i >= Length) {
      i -= Length;
    }
    return buffer[i];
  }

 private:
  std::array<float, Length> buffer{};
  int index = 0;
};

}  // namespace brimtone
