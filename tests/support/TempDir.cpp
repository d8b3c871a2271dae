#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace pitkit::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "pitkit-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::TempDir(const std::string& parent) {
  std::string tmpl = parent + "/pitkit-test-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + parent);
  path_ = tmpl;
}

std::string otherFileSystemParent() {
  struct stat tmp {}, shm {};
  const std::string candidate = "/dev/shm";
  if (::stat(std::filesystem::temp_directory_path().c_str(), &tmp) != 0 || ::stat(candidate.c_str(), &shm) != 0 ||
      tmp.st_dev == shm.st_dev || ::access(candidate.c_str(), W_OK) != 0)
    return {};
  return candidate;
}

TempDir::~TempDir() { removeTree(path_); }

void makeDirs(const std::string& path) { std::filesystem::create_directories(path); }

void writeFile(const std::string& path, const std::string& bytes) {
  const auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string realPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
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
  for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    names.insert(it->path().filename().string());
  return names;
}

std::map<std::string, std::string> treeSnapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  namespace fs = std::filesystem;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    if (it->is_symlink()) out[rel] = "link -> " + fs::read_symlink(it->path()).string();
    else if (it->is_directory()) out[rel] = "dir";
    else out[rel] = readFile(it->path().string());
  }
  return out;
}

void removeTree(const std::string& path) {
  std::error_code ec;
  // Make every folder writable again first, so tests that took write access away clean up.
  for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path, ec);
}

}  // namespace pitkit::test
