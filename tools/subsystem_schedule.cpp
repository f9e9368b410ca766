// Writes the Blowfish key schedule of the subsystem list key as the words of
// Nettle's context, for the library to start from instead of computing it at
// every run: the key setup alone was a twentieth of a whole `volk -i all`.
//   subsystem_schedule OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <nettle/blowfish.h>

#include "device/subsystem_cipher.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    blowfish_ctx ctx{};
    if (!blowfish_set_key(&ctx, kSubsystemListKeyLength,
                          reinterpret_cast<const uint8_t *>(kSubsystemListKey)))
        return 1;
    uint32_t words[sizeof ctx / sizeof(uint32_t)];
    static_assert(sizeof words == sizeof ctx);
    std::memcpy(words, &ctx, sizeof ctx);
    std::FILE *out = std::fopen(argv[1], "w");
    if (!out)
        return 1;
    std::fprintf(out, "// Made by subsystem_schedule; do not edit.\n");
    for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i)
        std::fprintf(out, "0x%08xu,%s", unsigned(words[i]), i % 8 == 7 ? "\n" : " ");
    std::fprintf(out, "\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
