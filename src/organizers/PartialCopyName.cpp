#include "organizers/PartialCopyName.h"

#include <unistd.h>

#include <random>

namespace pitkit {

namespace {
constexpr std::string_view kTempPrefix = ".pitkit-partial-copy-";
constexpr std::size_t kTempRandomLength = 10;
}  // namespace

std::string newPartialCopyName() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name(kTempPrefix);
  name += std::to_string(::getpid()) + "-";
  for (std::size_t i = 0; i < kTempRandomLength; ++i) name += kLetters[engine() % (sizeof kLetters - 1)];
  return name;
}

pid_t partialCopyOwner(std::string_view n) {
  if (n.substr(0, kTempPrefix.size()) != kTempPrefix) return 0;
  std::size_t i = kTempPrefix.size();
  long pid = 0;
  for (; i < n.size() && n[i] >= '0' && n[i] <= '9' && pid < 100000000; ++i) pid = pid * 10 + (n[i] - '0');
  if (pid <= 0 || i >= n.size() || n[i] != '-' || n.size() - i - 1 != kTempRandomLength) return 0;
  for (++i; i < n.size(); ++i)
    if (!((n[i] >= 'a' && n[i] <= 'z') || (n[i] >= '0' && n[i] <= '9'))) return 0;
  return static_cast<pid_t>(pid);
}

}  // namespace pitkit
