// Deciphering with the library's own key starts from its key schedule, made
// at build time (tools/subsystem_schedule.cpp) from kSubsystemListKey.
#include <cstring>

#include <nettle/blowfish.h>

#include "device/subsystem_cipher.h"

namespace {

constexpr uint32_t kScheduleWords[] = {
// Generated into the build tree, hence not a source folder's header.
#include <subsystem_schedule.inc>
};
static_assert(sizeof kScheduleWords == sizeof(blowfish_ctx));

} // namespace

bool SubsystemListDecipher(std::span<uint8_t> blocks)
{
    if (blocks.size() % kSubsystemCipherBlock != 0)
        return false;
    blowfish_ctx ctx;
    std::memcpy(&ctx, kScheduleWords, sizeof ctx);
    if (!blocks.empty())
        blowfish_decrypt(&ctx, blocks.size(), blocks.data(), blocks.data());
    return true;
}
