#pragma once
// SHA-256 (FIPS 180-4). Uses the processor's SHA instructions where it has them: the installer hashes
// its whole payload at the install click, and the plain code would add tens of milliseconds to it.
#include <array>
#include <cstdint>

#include "Forward.h"

class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    void update(Bytes bytes);
    // The digest of everything given; the object is spent afterwards.
    Digest finish();

    static Digest of(Bytes bytes);

    // Whether the SHA instructions are used; tests compare both ways.
    static bool hasShaInstructions();
    static void useShaInstructions(bool use);

private:
    void compress(const std::uint8_t* blocks, size_t count);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    size_t pendingSize_ = 0;
    std::uint64_t totalSize_ = 0;
};
