// The embedded default machine (machines/default.json) as CBOR, made by
// machine_cbor at build time.
#include <cstdint>
#include <span>

#include "model.h"

namespace vnsdm {

namespace {
const std::uint8_t kDefaultMachine[] = {
#include <default_machine_cbor.inc>
};
} // namespace

std::span<const std::uint8_t> EmbeddedDefaultMachine() { return kDefaultMachine; }

} // namespace vnsdm
