// Blowfish ECB over the subsystem list.
#include "device/subsystem_cipher.h"

#include <algorithm>

#include <nettle/blowfish.h>

bool SubsystemListCipher(std::span<uint8_t> blocks, const char *key, std::size_t keyLength,
                         SubsystemCipherDirection direction)
{
    if (blocks.size() % kSubsystemCipherBlock != 0 || key == nullptr ||
        keyLength < BLOWFISH_MIN_KEY_SIZE || keyLength > BLOWFISH_MAX_KEY_SIZE)
        return false;
    blowfish_ctx ctx{};
    // A weak key would still work but is refused, so a bad key never ships.
    if (!blowfish_set_key(&ctx, keyLength, reinterpret_cast<const uint8_t *>(key)))
        return false;
    for (std::size_t at = 0; at < blocks.size(); at += kSubsystemCipherBlock) {
        uint8_t *block = blocks.data() + at;
        if (direction == SubsystemCipherDirection::Encipher)
            blowfish_encrypt(&ctx, kSubsystemCipherBlock, block, block);
        else
            blowfish_decrypt(&ctx, kSubsystemCipherBlock, block, block);
    }
    return true;
}

std::string_view DecipheredText(std::span<const uint8_t> buffer)
{
    const auto end = std::find(buffer.begin(), buffer.end(), uint8_t{0});
    return {reinterpret_cast<const char *>(buffer.data()),
            static_cast<std::size_t>(end - buffer.begin())};
}
