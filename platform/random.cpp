#include "platform/random.h"

#include <bit>

namespace quorvel {

void SplitMixRandom::reseed(double seed)
{
    state_ = std::bit_cast<std::uint64_t>(seed);
}

double SplitMixRandom::next()
{
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    // The top 53 bits fill a double's mantissa: exactly representable, below 1.
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

} // namespace quorvel
