#pragma once

#include <cstdint>

namespace kelodb {

// xoshiro256** seeded through splitmix64: the same seed gives the same
// numbers with every compiler and standard library, which the standard
// distributions do not promise.
class Random {
  public:
    explicit Random(std::uint64_t seed) {
        for (std::uint64_t& word : state_) {
            seed += 0x9E3779B97F4A7C15u;
            std::uint64_t mixed = seed;
            mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9u;
            mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBu;
            word = mixed ^ (mixed >> 31);
        }
    }

    std::uint64_t Next() {
        const std::uint64_t result = RotateLeft(state_[1] * 5, 7) * 9;
        const std::uint64_t shifted = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= shifted;
        state_[3] = RotateLeft(state_[3], 45);
        return result;
    }

    // Uniform in [0, bound), bound > 0.
    std::uint64_t Below(std::uint64_t bound) {
        const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
        std::uint64_t value = Next();
        while (value >= limit) {
            value = Next();
        }
        return value % bound;
    }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    bool Chance(double probability) { return Unit() < probability; }

  private:
    static std::uint64_t RotateLeft(std::uint64_t value, int bits) {
        return (value << bits) | (value >> (64 - bits));
    }

    std::uint64_t state_[4];
};

}  // namespace kelodb
