// The content test on a real file, with the text placed around the edge of the first read: found
// exactly where a plain search finds it (letters a to z folded when case is ignored, the text cut
// at its first NUL).
#include "platform/Posix.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz_support.h"
#include "search/SearchWalk.h"

using namespace pitkit;

static unsigned char fold(unsigned char c, bool ignoreCase) {
  return ignoreCase && c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

static bool plainSearch(std::string_view hay, std::string_view text, bool ignoreCase) {
  for (std::size_t at = 0; at + text.size() <= hay.size(); ++at) {
    std::size_t k = 0;
    while (k < text.size() && fold(hay[at + k], ignoreCase) == fold(text[k], ignoreCase)) ++k;
    if (k == text.size()) return true;
  }
  return false;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool ignoreCase = in.ConsumeBool();
  std::string text = in.ConsumeRandomLengthString(32);
  const std::size_t back = in.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string payload = in.ConsumeRemainingBytesAsString();
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return 0;

  // NUL bytes, which never match, up to `back` bytes before the end of the first read; then the
  // payload, so a match in it may straddle the two reads.
  std::string file(ContentMatcher::kReadSize - std::min(back, payload.size()), '\0');
  file += payload;
  fuzz::scratchFile("candidate.bin", file);
  const bool want = plainSearch(payload, text, ignoreCase);

  const int dir = ::open(fuzz::scratchFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  fuzz::check(dir >= 0, "cannot open the scratch folder");
  ContentMatcher matcher(text, ignoreCase);
  const bool got = matcher.fileContains(dir, "candidate.bin", file.size());
  ::close(dir);
  fuzz::check(got == want, "the content test differs from a plain search");
  fuzz::check(matcher.bytesContain(payload) == want, "the block test differs from a plain search");
  return 0;
}
