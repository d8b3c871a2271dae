// The text-line reader against the text-line rule, with read sizes from one byte up, so every line
// break and the byte 1A also fall on the edge of a read.
#include <cstdint>

#include "fuzz_support.h"
#include "platform/TextFile.h"

using namespace pitkit;

static std::vector<std::string> readAll(const std::string& path, std::size_t bufferSize) {
  TextLineReader reader(path, bufferSize);
  std::vector<std::string> lines;
  while (!reader.eof()) lines.push_back(reader.readLine());
  fuzz::check(reader.readLine().empty() && reader.eof(), "reading past the end gives more text");
  return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t tiny = 1 + data[0] % 7;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = fuzz::scratchFile("lines.txt", bytes);
  const std::vector<std::string> want = fuzz::modelLines(bytes, TextLineReader::kMaxLineLength);
  fuzz::check(readAll(path, tiny) == want, "lines differ from the rule (tiny reads)");
  fuzz::check(readAll(path, TextLineReader::kBufferSize) == want, "lines differ from the rule");
  return 0;
}
