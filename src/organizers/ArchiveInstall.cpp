#include "organizers/ArchiveInstall.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "organizers/ArchiveReader.h"
#include "organizers/InfoFile.h"
#include "platform/Charset.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

const char* const kInfoFileMarker = "Torvane .INF file structure";
const char* const kParametersFile = "parameters.txt";
// Only this much of an info or parameter file is read to find its marker and name line.
constexpr std::size_t kMaxTextBytes = std::size_t{1} << 20;
constexpr std::size_t kBlockSize = std::size_t{1} << 16;

// The staging name the organizers' leftover sweep (removeLeftoverCopies) knows:
// ".pitkit-partial-copy-<pid>-<10 letters or digits>". Should the program die while it unpacks,
// the next Go of the page removes the half-made folder.
std::string stagingName() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = ".pitkit-partial-copy-" + std::to_string(::getpid()) + "-";
  for (int i = 0; i < 10; ++i) name += kLetters[engine() % (sizeof kLetters - 1)];
  return name;
}

// A file descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool hasExtension(const std::string& name, const char* extension) {
  return sameTextAscii(extractFileExt(name), extension);
}

std::string joined(const std::vector<std::string>& parts, std::size_t from = 0, std::size_t to = std::string::npos) {
  std::string out;
  for (std::size_t i = from; i < std::min(to, parts.size()); ++i) {
    if (!out.empty()) out += '/';
    out += parts[i];
  }
  return out;
}

bool startsWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
  return parts.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
}

// The name line of an info or parameter file as the key-line scan finds it: lines end at CR (an LF
// right after it belongs to the break), byte 1A ends the text; the first line holding a name key,
// else the last line.
std::string nameLine(const std::string& text) {
  std::string line;
  std::size_t pos = 0;
  const std::size_t end = std::min(text.find('\x1A'), text.size());
  const auto hasKey = [](const std::string& l) {
    return std::any_of(kNameKeys.begin(), kNameKeys.end(), [&](const std::string& k) { return l.find(k) != std::string::npos; });
  };
  while (pos < end && !hasKey(line)) {
    const std::size_t cr = std::min(text.find('\r', pos), end);
    line = text.substr(pos, cr - pos);
    pos = cr + 1;
    if (pos < end && text[pos] == '\n') ++pos;
  }
  return line;
}

// Where each entry of the archive goes.
struct Placement {
  int item = -1;                  // the item it belongs to; -1: not installed
  std::vector<std::string> path;  // its path inside the item's folder (empty for the preview)
  bool folder = false;
  bool preview = false;  // the item's preview, for the game's gfx
  std::uint64_t size = 0;
  bool mtimeSet = false;
  struct timespec mtime {};
};

struct ArchivePlan {
  ArchiveContents contents;
  std::vector<std::vector<std::string>> sources;  // per item, its folder in the archive
  std::vector<int> folders;                       // per item, how many folders it creates
  std::vector<Placement> placements;              // per archive entry, in archive order
};

struct Candidate {
  ArchiveItem item;
  std::vector<std::string> source;
  bool loose = false;
};

ArchivePlan planArchive(const std::string& archivePath, const std::string& password) {
  ArchiveReader reader(archivePath, password);
  std::vector<ArchiveEntry> entries;
  std::map<std::size_t, std::string> texts;
  ArchiveEntry entry;
  std::vector<char> buffer(kBlockSize);
  while (reader.next(entry)) {
    const std::size_t index = entries.size();
    if (entry.leftOutReason.empty() && !entry.folder && !entry.parts.empty() &&
        (hasExtension(entry.parts.back(), ".inf") || sameTextAscii(entry.parts.back(), kParametersFile))) {
      std::string& text = texts[index];
      while (text.size() < kMaxTextBytes) {
        const std::size_t n = reader.read(buffer.data(), std::min(buffer.size(), kMaxTextBytes - text.size()));
        if (n == 0) break;
        text.append(buffer.data(), n);
      }
    }
    entries.push_back(std::move(entry));
  }

  ArchivePlan plan;
  plan.placements.resize(entries.size());
  auto& leftOut = plan.contents.leftOut;
  // Entries never written: unsafe names, links, devices, a second entry of one path.
  std::vector<bool> usable(entries.size(), false);
  std::set<std::string> seen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ArchiveEntry& e = entries[i];
    if (!e.leftOutReason.empty()) {
      leftOut.push_back(e.shownPath + ": " + e.leftOutReason);
    } else if (e.parts.empty()) {
      // The archive's own top folder ("./").
    } else if (!seen.insert(joined(e.parts)).second) {
      if (!e.folder) leftOut.push_back(e.shownPath + ": it appears twice in the archive");
    } else if (!e.folder && !e.sizeKnown) {
      leftOut.push_back(e.shownPath + ": the archive does not state its size");
    } else {
      usable[i] = true;
    }
  }

  // Items: a folder holding <folder>.inf with the marker (a level) or parameters.txt (a car);
  // an info file with the marker at the top makes the loose files there a level.
  std::vector<Candidate> candidates;
  for (const auto& [index, text] : texts) {
    if (!usable[index]) continue;
    const std::vector<std::string>& parts = entries[index].parts;
    const std::string& file = parts.back();
    const bool isInfo = hasExtension(file, ".inf") && text.find(kInfoFileMarker) != std::string::npos;
    const bool isCar = sameTextAscii(file, kParametersFile);
    if (parts.size() == 1) {
      if (isInfo)
        candidates.push_back({{ContentKind::Level, stripFileExt(file), cp1252ToUtf8(quotedValueCut(nameLine(text), '\'')), "", 0, 0}, {}, true});
      continue;
    }
    const std::vector<std::string> source(parts.begin(), parts.end() - 1);
    const std::string& folderName = source.back();
    if (isInfo && sameTextAscii(stripFileExt(file), folderName))
      candidates.push_back({{ContentKind::Level, folderName, cp1252ToUtf8(quotedValueCut(nameLine(text), '\'')), joined(source), 0, 0}, source, false});
    else if (isCar)
      candidates.push_back({{ContentKind::Car, folderName, cp1252ToUtf8(quotedValueCut(nameLine(text), '"')), joined(source), 0, 0}, source, false});
  }
  // An item inside another item's folder belongs to the outer one; a second item of one kind and
  // name is left out.
  std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return !a.loose && (b.loose || a.source.size() < b.source.size());
  });
  std::vector<Candidate> accepted;
  std::vector<std::vector<std::string>> dropped;
  for (Candidate& c : candidates) {
    const auto inside = [&](const std::vector<std::vector<std::string>>& folders) {
      return !c.loose && std::any_of(folders.begin(), folders.end(), [&](const auto& f) { return startsWith(c.source, f); });
    };
    std::vector<std::vector<std::string>> acceptedFolders;
    for (const Candidate& a : accepted)
      if (!a.loose) acceptedFolders.push_back(a.source);
    if (inside(acceptedFolders) || inside(dropped)) continue;
    const char* kind = c.item.kind == ContentKind::Level ? "level" : "car";
    const std::string where = c.loose ? c.item.name + ".inf" : c.item.source;
    std::string reason;
    if (c.item.name.front() == '.') {
      reason = "a " + std::string(kind) + " with a hidden folder name";
    } else if (std::any_of(accepted.begin(), accepted.end(), [&](const Candidate& a) {
                 return a.item.kind == c.item.kind && sameTextAscii(a.item.name, c.item.name);
               })) {
      reason = "another " + std::string(kind) + " named " + c.item.name + " comes first in the archive";
    }
    if (reason.empty()) {
      accepted.push_back(std::move(c));
    } else {
      leftOut.push_back(where + ": " + reason);
      if (!c.loose) dropped.push_back(c.source);
    }
  }

  std::vector<int> looseLevels;
  for (std::size_t k = 0; k < accepted.size(); ++k) {
    plan.contents.items.push_back(accepted[k].item);
    plan.sources.push_back(accepted[k].source);
    if (accepted[k].loose) looseLevels.push_back(static_cast<int>(k));
  }
  plan.folders.assign(accepted.size(), 0);
  std::vector<bool> hasPreview(accepted.size(), false);

  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!usable[i]) continue;
    const ArchiveEntry& e = entries[i];
    Placement& p = plan.placements[i];
    p.folder = e.folder;
    p.size = e.folder ? 0 : e.size;
    p.mtimeSet = e.mtimeSet;
    p.mtime = {static_cast<time_t>(e.mtime), static_cast<long>(e.mtimeNanoseconds)};
    for (std::size_t k = 0; k < accepted.size() && p.item < 0; ++k) {
      if (accepted[k].loose || !startsWith(e.parts, accepted[k].source) || e.parts.size() == accepted[k].source.size())
        continue;
      p.item = static_cast<int>(k);
      p.path.assign(e.parts.begin() + static_cast<long>(accepted[k].source.size()), e.parts.end());
    }
    if (p.item >= 0 || e.folder) continue;
    if (std::any_of(dropped.begin(), dropped.end(), [&](const auto& f) { return startsWith(e.parts, f); })) continue;
    const std::string& file = e.parts.back();
    if (e.parts.size() == 1 && !looseLevels.empty()) {
      // Several loose levels: a file goes to the level whose name begins it (the longest).
      std::size_t best = 0;
      for (int k : looseLevels) {
        const std::string& name = accepted[static_cast<std::size_t>(k)].item.name;
        if ((looseLevels.size() == 1 || (file.size() >= name.size() && sameTextAscii(file.substr(0, name.size()), name))) &&
            name.size() + 1 > best) {
          best = name.size() + 1;
          p.item = k;
        }
      }
      if (p.item >= 0) {
        p.path = e.parts;
        continue;
      }
    }
    if (e.parts.size() >= 2 && sameTextAscii(e.parts[e.parts.size() - 2], "gfx") && hasExtension(file, ".bmp")) {
      for (std::size_t k = 0; k < accepted.size(); ++k) {
        if (accepted[k].item.kind != ContentKind::Level || hasPreview[k] ||
            !sameTextAscii(stripFileExt(file), accepted[k].item.name))
          continue;
        p.item = static_cast<int>(k);
        p.preview = true;
        hasPreview[k] = true;
        break;
      }
      if (p.item >= 0) continue;
    }
    leftOut.push_back(e.shownPath + ": it is not part of a level or car");
  }
  for (const Placement& p : plan.placements) {
    if (p.item < 0) continue;
    if (p.folder) {
      ++plan.folders[static_cast<std::size_t>(p.item)];
      continue;
    }
    ArchiveItem& item = plan.contents.items[static_cast<std::size_t>(p.item)];
    item.bytes += p.size;
    ++item.files;
  }
  return plan;
}

// ---- install ----

// One chosen item on its way into the game.
struct Job {
  std::size_t item;
  std::string folder;      // the destination folder (levels, un_levels, cars or garage)
  std::string oldName;     // the taken name it replaces; "" for none
  std::string staging;     // its staging folder's name in `folder`
  std::string preview;     // the staging name of its preview in gfx; "" for none
  bool placed = false;
};

[[noreturn]] void failUnpack(int err, const std::string& path) { throw EOSError(err, "Cannot unpack " + path); }

// The folder `parts` below `rootFd`, created where missing; links are never followed.
Fd openFolders(int rootFd, const std::vector<std::string>& parts, std::size_t count, const std::string& shown) {
  Fd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  for (std::size_t i = 0; i < count; ++i) {
    if (::mkdirat(current.get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST) failUnpack(errno, shown);
    Fd next(::openat(current.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) failUnpack(errno, shown);
    current = std::move(next);
  }
  return current;
}

// Writes the current entry's data to a new file, never more bytes than the archive states and
// exactly that many.
void writeEntry(ArchiveReader& reader, int folderFd, const std::string& name, const Placement& p,
                const std::string& shown, std::vector<char>& buffer, TransferProgress* progress) {
  Fd out(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (out.get() < 0) failUnpack(errno, shown);
  std::uint64_t written = 0;
  for (;;) {
    if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
      throw ETransferCancelled("Cancelled");
    const std::size_t n = reader.read(buffer.data(), buffer.size());
    if (n == 0) break;
    if (n > p.size - written)
      throw Exception("Cannot unpack " + shown + ": it holds more bytes than the archive states");
    for (std::size_t done = 0; done < n;) {
      const ssize_t w = ::write(out.get(), buffer.data() + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) failUnpack(errno, shown);
      done += static_cast<std::size_t>(w);
    }
    written += n;
    if (progress != nullptr) progress->bytes += n;
  }
  if (written != p.size) throw Exception("Cannot unpack " + shown + ": it holds fewer bytes than the archive states");
  if (p.mtimeSet) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, p.mtime};
    ::futimens(out.get(), times);
  }
  if (progress != nullptr) ++progress->entries;
}

struct SpaceNeed {
  std::string folder;
  std::uint64_t bytes = 0;
  std::uint64_t entries = 0;
};

std::string megabytes(std::uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// Refuses the install before anything is written when the unpacked items do not fit the free
// space (or the free file entries) of their file systems.
// A destination folder the game lacks yet is measured on the game folder, where it will be made.
void checkFreeSpace(const std::string& archivePath, const ArchivePlan& plan, const std::vector<Job>& jobs,
                    const std::string& game) {
  std::map<dev_t, SpaceNeed> needs;
  std::map<std::string, struct statvfs> volumes;
  const auto need = [&](std::string folder, std::uint64_t size, std::uint64_t entries) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT) folder = game;
    if (::stat(folder.c_str(), &st) != 0) throw EOSError(errno, "Cannot install into " + folder);
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) throw EOSError(errno, "Cannot install into " + folder);
    SpaceNeed& n = needs[st.st_dev];
    if (n.folder.empty()) {
      n.folder = folder;
      volumes[folder] = vfs;
    }
    const std::uint64_t block = std::max<std::uint64_t>(vfs.f_frsize, 512);
    n.bytes += (size + block - 1) / block * block;
    n.entries += entries;
  };
  for (const Job& job : jobs) {
    need(job.folder, 0, 1);
    for (const Placement& p : plan.placements) {
      if (p.item != static_cast<int>(job.item)) continue;
      if (p.preview) need(game + "/gfx", p.size, 1);
      else need(job.folder, p.size, 1);
    }
  }
  for (const auto& [device, n] : needs) {
    const struct statvfs& vfs = volumes[n.folder];
    const std::uint64_t free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    const bool entriesShort = vfs.f_files != 0 && n.entries > vfs.f_favail;
    if (n.bytes > free || entriesShort)
      throw Exception("There is not enough space to install from " + extractFileName(archivePath) + ": it needs " +
                      megabytes(n.bytes) + " in " + n.folder + ", where " + megabytes(free) + " are free");
  }
}

int renameNoReplace(const std::string& folder, const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, (folder + "/" + from).c_str(), AT_FDCWD, (folder + "/" + to).c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  return errno;
}

// Exchanges the entries `a` and `b` of `folder` in one step; on a file system without that call,
// in three renames that never replace anything. Returns 0 or the error.
int exchange(const std::string& folder, const std::string& a, const std::string& b) {
  const std::string pathA = folder + "/" + a, pathB = folder + "/" + b;
  if (::renameat2(AT_FDCWD, pathA.c_str(), AT_FDCWD, pathB.c_str(), RENAME_EXCHANGE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  const std::string aside = stagingName();
  if (int err = renameNoReplace(folder, a, aside); err != 0) return err;
  if (int err = renameNoReplace(folder, b, a); err != 0) {
    renameNoReplace(folder, aside, a);
    return err;
  }
  if (int err = renameNoReplace(folder, aside, b); err != 0) {
    renameNoReplace(folder, a, b);
    renameNoReplace(folder, aside, a);
    return err;
  }
  return 0;
}

// Removes an entry of `folder` quietly (a staging folder or file of ours).
void removeQuietly(const std::string& folder, const std::string& name) {
  try {
    DeleteFolder(folder + "/" + name);
  } catch (...) {
    ::unlink((folder + "/" + name).c_str());
  }
}

}  // namespace

const char* archiveDestinationFolder(ContentKind kind, InstallPlace place) {
  if (kind == ContentKind::Level) return place == InstallPlace::Installed ? "levels" : "un_levels";
  return place == InstallPlace::Installed ? "cars" : "garage";
}

std::string takenNameIn(const std::string& folder, const std::string& name) {
  struct stat st {};
  if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    if (sameTextAscii(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

ArchiveContents ReadArchiveContents(const std::string& archivePath) { return ReadArchiveContents(archivePath, {}); }

ArchiveContents ReadArchiveContents(const std::string& archivePath, const std::string& password) {
  return planArchive(archivePath, password).contents;
}

ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const std::vector<std::string>& names, InstallPlace place,
                                        WhenTaken whenTaken, TransferProgress* progress) {
  ArchiveInstallRequest request;
  request.names = names;
  request.place = place;
  request.whenTaken = whenTaken;
  return InstallFromArchive(archivePath, gameDirectory, request, progress);
}

ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const ArchiveInstallRequest& request, TransferProgress* progress) {
  if (gameDirectory.empty()) throw Exception("No game folder is chosen to install into");
  const ArchivePlan plan = planArchive(archivePath, request.password);
  const auto& items = plan.contents.items;
  const std::string game = gameDirectory.size() > 1 && gameDirectory.back() == PathDelim
                               ? gameDirectory.substr(0, gameDirectory.size() - 1)
                               : gameDirectory;
  const std::string gfx = game + "/gfx";

  std::vector<std::size_t> chosen;
  for (std::size_t k = 0; k < items.size(); ++k)
    if (request.names.empty() ||
        std::find(request.names.begin(), request.names.end(), items[k].name) != request.names.end())
      chosen.push_back(k);
  for (const std::string& name : request.names)
    if (std::none_of(items.begin(), items.end(), [&](const ArchiveItem& i) { return i.name == name; }))
      throw Exception(extractFileName(archivePath) + " holds no level or car named " + name);

  ArchiveInstallResult result;
  std::vector<Job> jobs;
  for (std::size_t k : chosen) {
    Job job{k, game + "/" + archiveDestinationFolder(items[k].kind, request.place), {}, {}, {}, false};
    job.oldName = takenNameIn(job.folder, items[k].name);
    const bool replace = request.whenTaken == WhenTaken::Replace ||
                         std::find(request.replace.begin(), request.replace.end(), items[k].name) != request.replace.end();
    if (!job.oldName.empty() && !replace) {
      result.skipped.push_back(items[k].name);
      continue;
    }
    jobs.push_back(job);
  }
  if (jobs.empty()) return result;

  // The destination folders the game lacks are made (and removed again should the install fail).
  std::vector<std::string> created;
  const auto removeCreated = [&] {
    for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(it->c_str());
  };
  std::set<std::string> folders;
  for (const Job& job : jobs) folders.insert(job.folder);
  const bool anyPreview = std::any_of(plan.placements.begin(), plan.placements.end(), [&](const Placement& p) {
    return p.preview && std::any_of(jobs.begin(), jobs.end(), [&](const Job& j) { return p.item == static_cast<int>(j.item); });
  });
  if (anyPreview) folders.insert(gfx);
  struct stat gameStat {};
  if (::stat(game.c_str(), &gameStat) != 0) throw EOSError(errno, "Cannot install into " + game);
  if (!S_ISDIR(gameStat.st_mode)) throw EOSError(ENOTDIR, "Cannot install into " + game);
  checkFreeSpace(archivePath, plan, jobs, game);
  for (const std::string& folder : folders) {
    if (::mkdir(folder.c_str(), 0777) == 0) created.push_back(folder);
    else if (errno != EEXIST) {
      const int err = errno;
      removeCreated();
      throw EOSError(err, "Cannot create " + folder);
    }
  }

  std::vector<std::function<void()>> undo;  // of the items already in place, last first
  try {
    if (anyPreview) removeLeftoverCopies(gfx);
    // Staging folders beside the destinations, on their file systems.
    std::map<std::size_t, std::size_t> jobOfItem;
    std::vector<Fd> stagingFds;
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      Job& job = jobs[j];
      for (int attempt = 0;; ++attempt) {
        job.staging = stagingName();
        if (::mkdir((job.folder + "/" + job.staging).c_str(), 0777) == 0) break;
        if (errno != EEXIST || attempt > 100) {
          job.staging.clear();
          throw EOSError(errno, "Cannot unpack into " + job.folder);
        }
      }
      stagingFds.emplace_back(::open((job.folder + "/" + job.staging).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (stagingFds.back().get() < 0) throw EOSError(errno, "Cannot unpack into " + job.folder);
      jobOfItem[job.item] = j;
    }

    // The second reading unpacks the chosen items' entries.
    ArchiveReader reader(archivePath, request.password);
    ArchiveEntry entry;
    std::vector<char> buffer(kBlockSize);
    for (std::size_t index = 0; reader.next(entry); ++index) {
      if (index >= plan.placements.size()) throw Exception("Cannot read " + extractFileName(archivePath) + ": it changed while it was read");
      const Placement& p = plan.placements[index];
      if (p.item < 0) continue;
      const auto found = jobOfItem.find(static_cast<std::size_t>(p.item));
      if (found == jobOfItem.end()) continue;
      Job& job = jobs[found->second];
      const std::string shown = entry.shownPath;
      if (p.preview) {
        job.preview = stagingName();
        Fd gfxFd(::open(gfx.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (gfxFd.get() < 0) failUnpack(errno, shown);
        writeEntry(reader, gfxFd.get(), job.preview, p, shown, buffer, progress);
        continue;
      }
      const int root = stagingFds[found->second].get();
      if (p.folder) {
        openFolders(root, p.path, p.path.size(), shown);
        continue;
      }
      const Fd parent = openFolders(root, p.path, p.path.size() - 1, shown);
      writeEntry(reader, parent.get(), p.path.back(), p, shown, buffer, progress);
    }
    stagingFds.clear();
    if (progress != nullptr && progress->cancelRequested) throw ETransferCancelled("Cancelled");
    // On disk before anything moves into place (and before any old folder is removed).
    for (const std::string& folder : folders) {
      Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (fd.get() >= 0) ::syncfs(fd.get());
    }
    if (progress != nullptr) progress->committed = true;

    for (Job& job : jobs) {
      const std::string& name = items[job.item].name;
      if (job.oldName.empty()) {
        const int err = renameNoReplace(job.folder, job.staging, name);
        if (err == EEXIST || err == ENOTEMPTY) {
          // Taken since it was looked at: skipped, as a taken name is.
          removeQuietly(job.folder, job.staging);
          if (!job.preview.empty()) ::unlink((gfx + "/" + job.preview).c_str());
          job.staging.clear();
          job.preview.clear();
          result.skipped.push_back(name);
          continue;
        }
        if (err != 0) throw EOSError(err, "Cannot install " + name + " into " + job.folder);
        const std::string staging = job.staging;
        undo.push_back([&job, name, staging] {
          if (renameNoReplace(job.folder, name, staging) == 0) removeQuietly(job.folder, staging);
        });
      } else {
        // The new folder takes the old one's place in one step; the old one keeps the staging
        // name until it is removed, after everything is in place.
        if (int err = exchange(job.folder, job.staging, job.oldName); err != 0)
          throw EOSError(err, "Cannot replace " + job.folder + "/" + job.oldName);
        const std::string oldName = job.oldName;
        undo.push_back([&job, oldName] { exchange(job.folder, job.staging, oldName); });
        // A clash in letter case only: the folder takes the archive's spelling, which its files use.
        if (job.oldName != name && renameNoReplace(job.folder, job.oldName, name) == 0) {
          undo.back() = [&job, oldName, name] {
            if (renameNoReplace(job.folder, name, oldName) == 0) exchange(job.folder, job.staging, oldName);
          };
        }
      }
      job.placed = true;
      result.installed.push_back(name);
    }
  } catch (...) {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) (*it)();
    for (const Job& job : jobs) {
      if (!job.staging.empty()) removeQuietly(job.folder, job.staging);
      if (!job.preview.empty()) ::unlink((gfx + "/" + job.preview).c_str());
    }
    removeCreated();
    throw;
  }

  // Everything is in place: the previews go to gfx unless one is there, the replaced folders go.
  for (const Job& job : jobs) {
    if (!job.placed) continue;
    if (!job.preview.empty()) {
      const std::string preview = items[job.item].name + ".bmp";
      if (!takenNameIn(gfx, preview).empty() || renameNoReplace(gfx, job.preview, preview) != 0)
        ::unlink((gfx + "/" + job.preview).c_str());
    }
    if (!job.oldName.empty()) removeQuietly(job.folder, job.staging);
  }
  return result;
}

}  // namespace pitkit
