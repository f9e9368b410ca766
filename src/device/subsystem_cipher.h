// Cipher of the enciphered subsystem list (adapters.properties). Shared by the
// library, which deciphers the list, and the adapters_cipher tool, which
// makes it; kept free of the library frame so the tool links it alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// 34 ASCII characters; the list shipped in data/ is enciphered with it.
inline constexpr char kSubsystemListKey[] = "k7Vn-Crv#4xQ9tL2mZp8Rw!3sYb6Hd0gJe";
inline constexpr std::size_t kSubsystemListKeyLength = sizeof(kSubsystemListKey) - 1;
static_assert(kSubsystemListKeyLength == 34);

inline constexpr std::size_t kSubsystemCipherBlock = 8;

// Length rounded up to whole cipher blocks.
constexpr std::size_t SubsystemCipherPaddedLength(std::size_t length)
{
    return (length + kSubsystemCipherBlock - 1) / kSubsystemCipherBlock * kSubsystemCipherBlock;
}

enum class SubsystemCipherDirection {
    Encipher,
    Decipher
};

// Blowfish in ECB mode, one 8-byte block at a time, in place. The buffer must
// hold whole blocks (callers zero-pad the last one). False when it does not,
// or when the key cannot make a key schedule (length outside 8..56 bytes).
bool SubsystemListCipher(std::span<uint8_t> blocks, const char *key, std::size_t keyLength,
                         SubsystemCipherDirection direction);

// The same deciphering with kSubsystemListKey, from the key schedule made at
// build time (the library only; the tool computes it).
bool SubsystemListDecipher(std::span<uint8_t> blocks);

// Text of a deciphered buffer: everything before the first NUL, so the zero
// padding of the last block never reaches the line reader.
std::string_view DecipheredText(std::span<const uint8_t> buffer);
