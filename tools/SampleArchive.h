#pragma once
// Archives for the sample game's downloads folder, written with libarchive's writer (the program
// itself only reads archives).
#include <string>
#include <vector>

namespace sample {

// An entry written as given, for archives that show what the installer leaves out: a name that
// climbs out of its folder, or a symbolic link (`linkTarget` set).
struct RawEntry {
  std::string name;
  std::string bytes;
  std::string linkTarget;
};

// Writes the tree `folder` as a zip (or with `sevenZip` a 7z) archive at `path`, each name below
// `prefix` ("" for none), followed by `extra`. Entries carry one fixed time, so two runs write the
// same archive. Raises std::runtime_error on failure.
void writeArchive(const std::string& path, bool sevenZip, const std::string& folder, const std::string& prefix,
                  const std::vector<RawEntry>& extra = {});

}  // namespace sample
