// Writes a machine description as CBOR bytes ("0x..," lines) for the library
// to embed: a start-up then reads the default machine without lexing its JSON
// text. A description that is not JSON fails the build here.
//   machine_cbor INPUT.json OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.json OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    nlohmann::ordered_json machine;
    try {
        machine = nlohmann::ordered_json::parse(text);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    const std::vector<std::uint8_t> cbor = nlohmann::ordered_json::to_cbor(machine);
    std::FILE *out = std::fopen(argv[2], "w");
    if (!out)
        return 1;
    for (size_t i = 0; i < cbor.size(); ++i)
        std::fprintf(out, "0x%02x,%s", cbor[i], i % 16 == 15 ? "\n" : "");
    std::fprintf(out, "\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
