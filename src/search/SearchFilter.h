#pragma once
// What a search run reads (its snapshot) and the acceptance test of an entry short of its
// contents: attributes, size, dates and exclusions.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/FindData.h"

namespace pitkit {

// The set of attribute members as bits in TFileAttribute order (archive, read-only, hidden,
// system, directory), from the platform attribute bits; other bits are ignored.
std::uint8_t attributeSetBits(std::uint32_t platformAttr);

// What a run reads: taken by Execute, never changed while the run goes on.
struct RunSnapshot {
  std::vector<std::string> Targets;  // absolute folder ending in the separator, then a name mask
  std::vector<std::string> ExcludeFiles;
  bool Subfolders = true;
  std::uint8_t Attributes = 0;  // TFileAttributes bits
  bool ExactAttribute = false;
  TDateTime CreatedBefore = 0, CreatedAfter = 0;
  TDateTime ModifiedBefore = 0, ModifiedAfter = 0;
  TDateTime AccessedBefore = 0, AccessedAfter = 0;
  std::int32_t SizeMin = 0, SizeMax = 0;
  bool HasText = false;  // false: no content test
  bool IgnoreCase = true;
  std::string Text;  // the text to find, cut at its first NUL byte
  std::size_t ReadAheadWorkers = 0;  // threads reading ahead of the walk; 0: none
  bool ReadAheadAlways = false;      // read ahead also over a tree already in memory
};

// The date test of a date-time against a Before and an After bound (0: no bound). A bound
// without a time part compares dates only; one without a date part compares times of day only.
bool dateInRange(TDateTime t, TDateTime before, TDateTime after);

// The exclusion match of a path (folder and name) against an exclusion mask, case ignored: the
// mask's folder part, if any, must equal the trailing part of the path's folder part; in the name
// part '*' runs up to the next '.' of the name and never crosses it, '?' stands for one character
// other than '.', and an empty name part matches any name.
bool exclusionMatches(const std::string& path, const std::string& mask);

// The acceptance test of an entry short of its contents: attributes, size, dates and exclusions.
// `scratch` is reused for the exclusion path.
bool passesFilters(const RunSnapshot& snap, const std::string& folder, const char* name,
                   const TWin32FindData& fd, std::string& scratch);

}  // namespace pitkit
