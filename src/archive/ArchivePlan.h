#pragma once
// Reading an archive into the plan of its items: which entries make levels and cars, where each
// entry goes inside its item, and which entries are left out, each with its reason.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "archive/ArchiveInstall.h"

namespace pitkit::archive_install {

// The size of the blocks an archive's entries are read in.
constexpr std::size_t kBlockSize = std::size_t{1} << 16;
// The size of the blocks the archive file is read in while it is planned.
constexpr std::size_t kHeaderBlockSize = std::size_t{1} << 13;

// a + b, or the largest size where that overflows: sizes an archive declares may be anything.
inline std::uint64_t addSizes(std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

// Where one entry of the archive goes.
struct Placement {
  int item = -1;                  // the item it belongs to; -1: not installed
  std::vector<std::string> path;  // its path inside the item's folder (empty for the preview)
  bool folder = false;
  bool preview = false;  // the item's preview, for the game's gfx
  std::uint64_t size = 0;
  bool mtimeSet = false;
  struct timespec mtime {};
};

// An archive's items and, per entry, where it goes.
struct ArchivePlan {
  ArchiveContents contents;
  std::vector<std::vector<std::string>> sources;  // per item, its folder in the archive
  std::vector<int> folders;                       // per item, how many folders it creates
  std::vector<Placement> placements;              // per archive entry, in archive order
};

// Reads the archive once and plans it. Raises as ReadArchiveContents does.
ArchivePlan planArchive(const std::string& archivePath, const std::string& password,
                        TransferProgress* progress = nullptr);

}  // namespace pitkit::archive_install
