// The content test on a real file, with the text placed around the edge of the first read: found
// exactly where a plain search of the whole file finds it (letters a to z folded when case is
// ignored, the text cut at its first NUL).
#include <fcntl.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

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
  const char filler = static_cast<char>(in.ConsumeIntegral<unsigned char>());
  std::string text = in.ConsumeRandomLengthString(32);
  const std::size_t back = in.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string body = in.ConsumeRemainingBytesAsString();
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return 0;

  // The body starts `back` bytes before the end of the first read.
  const std::size_t lead = ContentMatcher::kReadSize - back;
  std::string file(lead, filler);
  file += body;
  fuzz::scratchFile("candidate.bin", file);

  // Only the end of the filler can take part in a match that is not wholly inside the filler.
  bool allFiller = text.size() <= lead;
  for (char c : text) allFiller = allFiller && fold(c, ignoreCase) == fold(filler, ignoreCase);
  const std::size_t from = lead >= text.size() ? lead - text.size() + 1 : 0;
  const bool want = allFiller || plainSearch(std::string_view(file).substr(from), text, ignoreCase);

  const int dir = ::open(fuzz::scratchFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  fuzz::check(dir >= 0, "cannot open the scratch folder");
  ContentMatcher matcher(text, ignoreCase);
  const bool got = matcher.fileContains(dir, "candidate.bin", file.size());
  ::close(dir);
  fuzz::check(got == want, "the content test differs from a plain search");
  fuzz::check(matcher.bytesContain(file) == want, "the block test differs from a plain search");
  return 0;
}
