// The relative-path rule: for plain absolute paths, following the relative path from the base's
// folder leads to the target (names compared ignoring ASCII case), and it climbs only as far as
// needed; for any text it never throws and never gives an absolute path.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_support.h"
#include "platform/Paths.h"

using namespace pitkit;

static std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> names;
  std::string current;
  for (char c : path + "/") {
    if (c != '/') { current += c; continue; }
    names.push_back(current);
    current.clear();
  }
  return names;
}

// An absolute path of non-empty names other than "." and "..": the names, or false.
static bool plainNames(const std::string& path, std::vector<std::string>& names) {
  if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
  names = split(path.substr(1));
  for (const std::string& n : names)
    if (n.empty() || n == "." || n == "..") return false;
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string base = in.ConsumeRandomLengthString(256);
  const std::string target = in.ConsumeRemainingBytesAsString();
  const std::string rel = relativePath(base, target);
  fuzz::check(rel.empty() || rel[0] != '/', "an absolute result");

  std::vector<std::string> baseNames, targetNames;
  if (!plainNames(base + "x", baseNames) || !plainNames(target, targetNames)) return 0;
  baseNames.pop_back();  // the base counts up to its last separator
  std::vector<std::string> at = baseNames;
  std::size_t climbs = 0;
  for (const std::string& step : split(rel)) {
    if (step == "..") {
      fuzz::check(!at.empty(), "climbs above the top");
      at.pop_back();
      ++climbs;
    } else {
      at.push_back(step);
    }
  }
  fuzz::check(at.size() == targetNames.size(), "does not lead to the target");
  for (std::size_t i = 0; i < at.size(); ++i)
    fuzz::check(upperAscii(at[i]) == upperAscii(targetNames[i]), "leads to another folder");
  std::size_t shared = 0;
  while (shared < baseNames.size() && shared + 1 < targetNames.size() &&
         upperAscii(baseNames[shared]) == upperAscii(targetNames[shared]))
    ++shared;
  fuzz::check(climbs == baseNames.size() - shared, "climbs more than needed");
  return 0;
}
