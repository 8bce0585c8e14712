#pragma once
// A small seeded generator of our own, so that a run replays bit for bit on
// every machine and standard library.

#include <cmath>
#include <cstdint>

namespace qvnsim {

class Random {
public:
    explicit Random(std::uint64_t seed)
    {
        std::uint64_t x = seed;
        for (auto& word : s_) word = splitmix(x);
    }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // Uniform integer in [0, n), n > 0.
    std::uint64_t below(std::uint64_t n) { return next() % n; }

    // Standard normal (Box-Muller, one value per call for simplicity).
    double normal()
    {
        double u1 = uniform();
        while (u1 <= 0) u1 = uniform();
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t splitmix(std::uint64_t& x)
    {
        std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t s_[4];
};

} // namespace qvnsim
