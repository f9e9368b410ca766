// adapters_cipher: makes the enciphered subsystem list (adapters.properties)
// from its plain form, and turns it back, with the key the library uses.
//
//   adapters_cipher encrypt <plain> <out>
//   adapters_cipher decrypt <in> <out>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device/subsystem_cipher.h"

namespace {

bool ReadFile(const char *path, std::vector<uint8_t> &data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const char *path, const void *data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

int Usage()
{
    std::fprintf(stderr, "usage: adapters_cipher encrypt <plain> <out>\n"
                         "       adapters_cipher decrypt <in> <out>\n");
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return Usage();
    const bool encipher = std::strcmp(argv[1], "encrypt") == 0;
    if (!encipher && std::strcmp(argv[1], "decrypt") != 0)
        return Usage();

    std::vector<uint8_t> data;
    if (!ReadFile(argv[2], data)) {
        std::fprintf(stderr, "adapters_cipher: cannot read %s\n", argv[2]);
        return 2;
    }
    // A NUL would end the list early when the library deciphers it.
    if (encipher && std::memchr(data.data(), 0, data.size()) != nullptr) {
        std::fprintf(stderr, "adapters_cipher: %s holds a NUL byte\n", argv[2]);
        return 3;
    }
    data.resize(SubsystemCipherPaddedLength(data.size()), 0);
    const auto direction =
        encipher ? SubsystemCipherDirection::Encipher : SubsystemCipherDirection::Decipher;
    if (!SubsystemListCipher(data, kSubsystemListKey, kSubsystemListKeyLength, direction)) {
        std::fprintf(stderr, "adapters_cipher: the key cannot make a key schedule\n");
        return 3;
    }

    // Deciphered text stops at the zero padding of the last block.
    bool written;
    if (encipher) {
        written = WriteFile(argv[3], data.data(), data.size());
    } else {
        const std::string_view text = DecipheredText(data);
        written = WriteFile(argv[3], text.data(), text.size());
    }
    if (!written) {
        std::fprintf(stderr, "adapters_cipher: cannot write %s\n", argv[3]);
        return 2;
    }
    return 0;
}
