#pragma once
// SHA-256's compression of whole 64-byte blocks by the processor's own instructions, where it has
// them (Sha256 uses it by itself; its portable rounds otherwise).
#include <cstddef>
#include <cstdint>

namespace pitkit {

// Whether this processor has the instructions sha256Blocks needs.
bool sha256BlocksAvailable();
// Runs the compression of `count` blocks at `data` on `state` (H0..H7) with the 64 round constants
// `rounds`. Only where sha256BlocksAvailable().
void sha256Blocks(std::uint32_t* state, const std::uint8_t* data, std::size_t count, const std::uint32_t* rounds);

}  // namespace pitkit
