#include "support/TempDir.h"
#include "support/LinuxOnly.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include "platform/Posix.h"

namespace pitkit::test {

namespace {

// A new folder "pitkit-test-" + six random letters in `parent`, made where no entry was; the path
// with '/' separators on every system, as the program forms its own.
std::string makeUniqueFolder(const std::string& parent) {
  static std::mt19937_64 random{std::random_device{}()};
  static std::mutex lock;
  const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "pitkit-test-";
    {
      const std::lock_guard<std::mutex> held(lock);
      for (int i = 0; i < 6; ++i) name += letters[random() % (sizeof letters - 1)];
    }
    const std::string path = parent + "/" + name;
    if (::mkdir(path.c_str(), 0700) == 0) return path;
    if (errno != EEXIST) break;
  }
  throw std::runtime_error("no temporary folder could be made in " + parent + ": " + std::strerror(errno));
}

// A path of the program (UTF-8 bytes) for the library, and back with '/' separators. The library
// of the Windows build reads a narrow string in the C runtime's own code page, not as UTF-8.
std::filesystem::path fsPath(const std::string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
  return std::filesystem::path(path);
#endif
}
std::string text(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string utf8 = path.generic_u8string();
  return std::string(utf8.begin(), utf8.end());
#else
  return path.generic_string();
#endif
}

}  // namespace

TempDir::TempDir() {
  std::string parent = std::filesystem::temp_directory_path().generic_string();
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  path_ = makeUniqueFolder(parent);
}

TempDir::TempDir(const std::string& parent) : path_(makeUniqueFolder(parent)) {}

std::string otherFileSystemParent() {
  struct stat tmp {}, shm {};
  const std::string candidate = "/dev/shm";
  if (!kOnLinux) return {};
  if (::stat(std::filesystem::temp_directory_path().string().c_str(), &tmp) != 0 || ::stat(candidate.c_str(), &shm) != 0 ||
      tmp.st_dev == shm.st_dev || ::access(candidate.c_str(), W_OK) != 0)
    return {};
  return candidate;
}

TempDir::~TempDir() { removeTree(path_); }

void makeDirs(const std::string& path) { std::filesystem::create_directories(fsPath(path)); }

void writeFile(const std::string& path, const std::string& bytes) {
  const auto parent = fsPath(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(fsPath(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string realPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(fsPath(path), ec);
  return ec ? path : text(real);
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0)
    throw std::runtime_error("cannot read the state of " + path + ": " + std::strerror(errno));
  return st;
}

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(fsPath(folder), ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    names.insert(text(it->path().filename()));
  return names;
}

std::map<std::string, std::string> treeSnapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  namespace fs = std::filesystem;
  for (auto it = fs::recursive_directory_iterator(fsPath(root)); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = text(it->path().lexically_relative(fsPath(root)));
    if (it->is_symlink()) out[rel] = "link -> " + fs::read_symlink(it->path()).generic_string();
    else if (it->is_directory()) out[rel] = "dir";
    else out[rel] = readFile(text(it->path()));
  }
  return out;
}

void removeTree(const std::string& path) {
  std::error_code ec;
  // Make every folder and file writable again first, so tests that took write access away clean
  // up (Windows deletes no read-only file).
  for (auto it = std::filesystem::recursive_directory_iterator(fsPath(path), ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(fsPath(path), ec);
}

}  // namespace pitkit::test
