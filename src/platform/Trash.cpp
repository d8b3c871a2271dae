#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

// Where an entry lies: its mount (rename works only within one) and, where the kernel does not
// tell the mount, its device.
struct Mount {
  dev_t device = 0;
  std::uint64_t id = 0;
  bool idKnown = false;
};

bool mountOf(const std::string& path, Mount& mount, bool followLink = true) {
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), followLink ? 0 : AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
    return false;
  mount.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  mount.idKnown = (sx.stx_mask & STATX_MNT_ID) != 0;
  mount.id = sx.stx_mnt_id;
  return true;
}

bool sameMount(const Mount& a, const Mount& b) {
  if (a.idKnown && b.idKnown) return a.id == b.id;
  return a.device == b.device;
}

// The parent folder of an absolute path without a trailing separator ("/" for "/x").
std::string parentOf(const std::string& path) {
  const std::string::size_type slash = path.find_last_of(PathDelim);
  return slash == 0 || slash == std::string::npos ? PathDelimStr : path.substr(0, slash);
}

// A folder of ours in a trash: made (owner only) where missing; never a link, and when
// `ownedByUs`, the user's own.
bool makeTrashFolder(const std::string& folder, bool ownedByUs) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (!ownedByUs || st.st_uid == ::geteuid());
}

// `trash` with its files and info folders, made where missing, on the mount of the item; "" when
// it cannot take the item.
std::string usableTrash(const std::string& trash, const Mount& item, bool ownedByUs) {
  if (!makeTrashFolder(trash, ownedByUs) || !makeTrashFolder(trash + "/files", false) ||
      !makeTrashFolder(trash + "/info", false))
    return {};
  Mount there;
  return mountOf(trash + "/files", there) && sameMount(there, item) ? trash : std::string();
}

// The home trash when it is on the item's mount (made where missing, with its parents).
std::string homeTrash(const Mount& item) {
  const std::string data = userDataHome();
  if (data.empty()) return {};
  // The nearest folder of the way there that exists tells the mount it will be made on.
  std::string existing = data;
  Mount there;
  while (!mountOf(existing, there)) {
    if (existing == PathDelimStr) return {};
    existing = parentOf(existing);
  }
  if (!sameMount(there, item)) return {};
  for (std::string::size_type at = existing.size() + 1; at <= data.size(); ++at)
    if (at == data.size() || data[at] == PathDelim) ::mkdir(data.substr(0, at).c_str(), 0700);
  return usableTrash(data + "/Trash", item, false);
}

// The top folder of the item's mount: the last folder upwards from it on that mount.
std::string topFolder(const std::string& path, const Mount& item) {
  char* resolved = ::realpath(parentOf(path).c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string top = resolved;
  std::free(resolved);
  Mount there;
  while (top != PathDelimStr && mountOf(parentOf(top), there) && sameMount(there, item)) top = parentOf(top);
  return top;
}

std::string twoDigits(int n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); }

// The local time now as the info file's DeletionDate holds it: YYYY-MM-DDThh:mm:ss.
std::string deletionDate() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900) + "-" + twoDigits(local.tm_mon + 1) + "-" + twoDigits(local.tm_mday) +
         "T" + twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec);
}

// Writes the whole text to a new file; false (errno set) on any failure.
bool writeInfo(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0;
}

}  // namespace

std::string trashInfoPath(const std::string& path) {
  static const char* const digits = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == PathDelim) {
      out += c;
    } else {
      out += '%';
      out += digits[b >> 4];
      out += digits[b & 15];
    }
  }
  return out;
}

std::string trashFolderFor(const std::string& path) {
  const std::string entry = excludeTrailingDelim(expandFileName(path));
  Mount item;
  if (!mountOf(entry, item, false)) return {};
  if (std::string home = homeTrash(item); !home.empty()) return home;
  const std::string top = topFolder(entry, item);
  if (top.empty()) return {};
  const std::string prefix = top == PathDelimStr ? std::string() : top;
  const std::string uid = std::to_string(::geteuid());
  // A shared .Trash counts only with the sticky bit and when it is no link.
  struct stat shared {};
  if (::lstat((prefix + "/.Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) != 0)
    if (std::string trash = usableTrash(prefix + "/.Trash/" + uid, item, true); !trash.empty()) return trash;
  return usableTrash(prefix + "/.Trash-" + uid, item, true);
}

TrashedItem moveToTrash(const std::string& path, const std::string& recordedPath) {
  const std::string entry = excludeTrailingDelim(expandFileName(path));
  struct stat st {};
  if (::lstat(entry.c_str(), &st) != 0) throw EOSError(errno, "Cannot move " + entry + " to the trash");
  const std::string trash = trashFolderFor(entry);
  if (trash.empty()) throw ETrashUnavailable("No trash on the file system of " + entry + " can take it");
  const std::string recorded = recordedPath.empty() ? entry : excludeTrailingDelim(recordedPath);
  const std::string base = extractFileName(recorded);
  const std::string text = "[Trash Info]\nPath=" + trashInfoPath(recorded) + "\nDeletionDate=" + deletionDate() + "\n";
  for (int n = 1; n < 100000; ++n) {
    const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    TrashedItem item{trash + "/files/" + name, trash + "/info/" + name + ".trashinfo"};
    // A name is free only when neither the files nor the info folder has it.
    if (::lstat(item.file.c_str(), &st) == 0) continue;
    UniqueFd info(::open(item.info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!info && errno == EEXIST) continue;
    if (!info) throw EOSError(errno, "Cannot move " + entry + " to the trash " + trash);
    if (!writeInfo(info.get(), text) || info.close() != 0) {
      const int err = errno;
      ::unlink(item.info.c_str());
      throw EOSError(err, "Cannot move " + entry + " to the trash " + trash);
    }
    const int err = renameNoReplaceAt(AT_FDCWD, entry, AT_FDCWD, item.file);
    if (err == 0) return item;
    ::unlink(item.info.c_str());
    if (err == EEXIST) continue;
    if (err == EXDEV) throw ETrashUnavailable("No trash on the file system of " + entry + " can take it");
    throw EOSError(err, "Cannot move " + entry + " to the trash " + trash);
  }
  throw EOSError(EEXIST, "Cannot move " + entry + " to the trash " + trash);
}

TrashedItem trashedItemAt(const std::string& file) {
  const std::string entry = excludeTrailingDelim(file);
  return {entry, parentOf(parentOf(entry)) + "/info/" + extractFileName(entry) + ".trashinfo"};
}

int restoreFromTrash(const TrashedItem& item, const std::string& path) {
  if (const int err = renameNoReplaceAt(AT_FDCWD, item.file, AT_FDCWD, path); err != 0) return err;
  ::unlink(item.info.c_str());
  return 0;
}

}  // namespace pitkit
