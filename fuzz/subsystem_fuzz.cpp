// The subsystem list (adapters.properties): an input is read as the file
// itself (enciphered or plain), and enciphered with the shipped key so that
// the deciphered-line reader sees it as text.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/subsystem.h"

namespace {

const std::string &ScratchFile()
{
    static const std::string path = [] {
        char name[] = "/tmp/subsystem_fuzz.XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        std::atexit([] { unlink(ScratchFile().c_str()); });
        return std::string(name);
    }();
    return path;
}

void WriteScratch(const void *data, size_t size)
{
    std::FILE *fp = std::fopen(ScratchFile().c_str(), "wb");
    if (!fp)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, fp);
    std::fclose(fp);
}

template <size_t N> void CheckTerminated(const char (&field)[N])
{
    if (strnlen(field, N) == N)
        std::abort();
}

void Walk(const SubSystemEntry *list)
{
    for (const SubSystemEntry *e = list; e; e = e->next) {
        CheckTerminated(e->ssdid);
        CheckTerminated(e->ssvid);
        CheckTerminated(e->isp);
        CheckTerminated(e->description);
        CheckTerminated(e->supported);
        CheckTerminated(e->flag6);
        CheckTerminated(e->flag7);
        IsSubSystemEntrySupported(*e);
    }
    FindSubSystemInSubSystemList(list, 0x0162, 0x1E7A);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    WriteScratch(data, size);
    SubSystemListPtr asFound = ReadSubSystemList(ScratchFile().c_str());
    Walk(asFound.get());

    std::vector<uint8_t> blocks(SubsystemCipherPaddedLength(size));
    if (size)
        std::memcpy(blocks.data(), data, size);
    if (!SubsystemListCipher(blocks, kSubsystemListKey, kSubsystemListKeyLength,
                             SubsystemCipherDirection::Encipher))
        std::abort();
    WriteScratch(blocks.data(), blocks.size());
    SubSystemEntry *enciphered = BuildSubSystemListFromEncryptedFile(
        ScratchFile().c_str(), kSubsystemListKey, kSubsystemListKeyLength);
    Walk(enciphered);
    FreeSubSystemList(enciphered);

    SubSystemEntry entry;
    PopulateSubSystemData(std::string_view(reinterpret_cast<const char *>(data), size), entry);
    return 0;
}
