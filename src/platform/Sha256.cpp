#include "platform/Sha256.h"

#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Errors.h"
#include "platform/Sha256Blocks.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::atomic<bool> useProcessor{true};

constexpr std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The file is read in blocks of this size, whatever its length.
constexpr std::size_t kFileBlock = 64 * 1024;

}  // namespace

void Sha256::reset() {
  state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
            0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  blockUsed_ = 0;
  totalBytes_ = 0;
}

void Sha256::compress(const std::uint8_t* block) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t t1 =
        h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const std::uint32_t t2 =
        (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
  state_[5] += f;
  state_[6] += g;
  state_[7] += h;
}

void setSha256ProcessorInstructions(bool use) { useProcessor = use; }

void Sha256::compressBlocks(const std::uint8_t* blocks, std::size_t count) {
  if (count == 0) return;
  if (useProcessor.load(std::memory_order_relaxed) && sha256BlocksAvailable())
    return sha256Blocks(state_.data(), blocks, count, kRound.data());
  for (; count > 0; --count, blocks += block_.size()) compress(blocks);
}

void Sha256::update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  totalBytes_ += size;
  if (blockUsed_ > 0) {
    const std::size_t take = std::min(size, block_.size() - blockUsed_);
    std::memcpy(block_.data() + blockUsed_, bytes, take);
    blockUsed_ += take;
    bytes += take;
    size -= take;
    if (blockUsed_ < block_.size()) return;
    compressBlocks(block_.data(), 1);
    blockUsed_ = 0;
  }
  const std::size_t whole = size / block_.size();
  compressBlocks(bytes, whole);
  bytes += whole * block_.size();
  size -= whole * block_.size();
  if (size > 0) std::memcpy(block_.data(), bytes, size);
  blockUsed_ = size;
}

Sha256Digest Sha256::finish() {
  // Padding: one 1 bit, zeros up to 56 bytes into a block, then the length in bits, big-endian.
  const std::uint64_t bits = totalBytes_ * 8;
  const std::uint8_t one = 0x80;
  update(&one, 1);
  const std::uint8_t zeros[64] = {};
  update(zeros, (block_.size() + 56 - blockUsed_) % block_.size());
  std::uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  update(length, sizeof length);
  Sha256Digest digest;
  for (int i = 0; i < 32; ++i)
    digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  reset();
  return digest;
}

std::string toHex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (const std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

std::string sha256Hex(std::string_view bytes) {
  Sha256 sha;
  sha.update(bytes);
  return toHex(sha.finish());
}

std::string sha256OfFile(const std::string& path) {
  if (path.empty()) throw EInOutError(2);
  const UniqueFd fd(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) EInOutError::raiseFromErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) throw EInOutError(5);
  Sha256 sha;
  std::vector<char> block(kFileBlock);
  for (;;) {
    const ssize_t n = ::read(fd.get(), block.data(), block.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      EInOutError::raiseFromErrno(errno);
    }
    sha.update(block.data(), static_cast<std::size_t>(n));
  }
  return toHex(sha.finish());
}

}  // namespace pitkit
