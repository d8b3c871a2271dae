// Both name-mask matchers against a reference: '*' any run, '?' one character, ASCII case
// ignored, and a mask ending in ".*" also matching a name without a dot.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "platform/FindData.h"
#include "platform/Mask.h"

using namespace pitkit;

static char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Dynamic programming over (name prefix, mask prefix).
static bool glob(std::string_view n, std::string_view m) {
  std::vector<std::vector<char>> ok(n.size() + 1, std::vector<char>(m.size() + 1, 0));
  ok[0][0] = 1;
  for (std::size_t j = 1; j <= m.size(); ++j) ok[0][j] = ok[0][j - 1] && m[j - 1] == '*';
  for (std::size_t i = 1; i <= n.size(); ++i)
    for (std::size_t j = 1; j <= m.size(); ++j)
      ok[i][j] = m[j - 1] == '*' ? (ok[i][j - 1] || ok[i - 1][j])
                                 : (ok[i - 1][j - 1] && (m[j - 1] == '?' || up(m[j - 1]) == up(n[i - 1])));
  return ok[n.size()][m.size()];
}

static bool reference(std::string_view n, std::string_view m) {
  return glob(n, m) || (m.size() >= 2 && m.substr(m.size() - 2) == ".*" &&
                        n.find('.') == std::string_view::npos && glob(n, m.substr(0, m.size() - 2)));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string mask = in.ConsumeRandomLengthString(64);
  const std::string name = in.ConsumeRandomLengthString(128);
  const bool want = reference(name, mask);
  fuzz::check(matchesMask(name, mask) == want, "matchesMask differs from the reference");
  fuzz::check(NameMask(mask).matches(name) == want, "NameMask differs from the reference");
  return 0;
}
