#pragma once
// SHA-256 (FIPS 180-4): the digest of an archive in the history of actions and of an item's files.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pitkit {

using Sha256Digest = std::array<std::uint8_t, 32>;

// A SHA-256 digest computed over bytes fed in pieces of any size.
class Sha256 {
 public:
  Sha256() { reset(); }
  void update(const void* data, std::size_t size);
  void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
  // The digest of everything fed since the start; the object starts over afterwards.
  Sha256Digest finish();
  void reset();

 private:
  void compress(const std::uint8_t* block);
  void compressBlocks(const std::uint8_t* blocks, std::size_t count);

  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, 64> block_{};
  std::size_t blockUsed_ = 0;
  std::uint64_t totalBytes_ = 0;
};

// Whether whole blocks go to the processor's SHA instructions where it has them (the default);
// tests turn it off to check the portable rounds too.
void setSha256ProcessorInstructions(bool use);

// The digest as 64 lower-case hexadecimal digits.
std::string toHex(const Sha256Digest& digest);
// The hexadecimal digest of `bytes`.
std::string sha256Hex(std::string_view bytes);
// The hexadecimal digest of the regular file `path`, read in blocks of a fixed size. The file is
// opened without waiting; raises EInOutError when it is missing (2), no regular file (5) or cannot
// be read.
std::string sha256OfFile(const std::string& path);

}  // namespace pitkit
