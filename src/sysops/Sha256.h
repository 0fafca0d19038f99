#pragma once
// SHA-256 of our own: no system function offers it on every Windows the
// program runs on (CryptoAPI has it only from XP SP3). Pure computation,
// no system call.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    // Adds bytes to the message; may be called any number of times.
    void Update(const void* data, size_t size);
    // The digest of everything added; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pendingSize_ = 0;
    uint64_t length_ = 0;  // bytes added so far
};

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::array<uint8_t, 32>& digest);
std::string Sha256Hex(const std::string& bytes);
