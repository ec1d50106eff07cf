#pragma once

#include <cstdint>

namespace quorvel {

// Random numbers for the rolling draw.
class Random {
public:
    virtual ~Random() = default;
    virtual void reseed(double seed) = 0;
    // Uniform in [0, 1).
    virtual double next() = 0;
};

// SplitMix64 over the seed's bit pattern. Its output function mixes every bit
// of the state, so seeds a few microseconds apart give unrelated draws.
class SplitMixRandom final : public Random {
public:
    void reseed(double seed) override;
    double next() override;

private:
    std::uint64_t state_ = 0x853c49e6748fea9bULL;
};

} // namespace quorvel
