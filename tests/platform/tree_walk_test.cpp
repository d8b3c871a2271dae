#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <string>

#include "platform/TreeWalk.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using namespace pitkit::test;
namespace fs = std::filesystem;
using Log = std::set<std::string>;

// Enters everything that is not a regular file and logs what happens: "path" visited, "path !why"
// not entered, "path <pass" left. The row's hook runs at 'L'isted, 'V'isit and 'E'nd of a folder.
struct Recorder : TreeWalk::Visitor {
  Log log;
  std::function<void(TreeWalk&, char, const std::string&, Log&)> hook;
  void listed(TreeWalk& walk) override {
    if (hook) hook(walk, 'L', walk.path(), log);
  }
  void visit(TreeWalk& walk, const std::string& name, unsigned char) override {
    const std::string path = walk.pathOf(name);
    log.insert(path);
    if (hook) hook(walk, 'V', path, log);
    struct stat st {};
    if (::fstatat(walk.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) return;
    if (const int err = walk.enter(name))
      log.insert(path + (err == ENOENT ? " !gone" : err == EXDEV ? " !mount" : " !refused"));
  }
  void left(TreeWalk& walk, const std::string& name, const TreeWalk::Done& done) override {
    const std::string path = walk.pathOf(name);
    log.insert(path + " <" + std::to_string(done.pass));
    if (hook) hook(walk, 'E', path, log);
  }
};

// A chain of `depth` folders "d/d/...", a file at the bottom, and what a walk logs of it.
std::string deepChain(const std::string& root, int depth, Log* expected) {
  std::string path;
  for (int i = 0; i < depth; ++i) {
    path += (i == 0 ? "d" : "/d");
    expected->insert(path);
    expected->insert(path + " <0");
  }
  makeDirs(root + "/" + path);
  writeFile(root + "/" + path + "/bottom.txt", "b");
  expected->insert(path + "/bottom.txt");
  return path;
}

TEST(TreeWalk, KeepsToTheTreeAndLetsItsVisitorChangeIt) {
  constexpr std::size_t kBudget = 8;
  Log deep{};
  struct Case {
    const char* what;
    std::function<void(const std::string& root)> arrange;
    Log expected;
    std::function<void(TreeWalk&, char, const std::string&, Log&)> hook = {};
    const char* mount = nullptr;  // a tmpfs mounted there after arrange
    bool links = false;           // makes symbolic links: Linux only
  };
  const Case cases[] = {
      {"links are visited, never entered",
       [](const std::string& r) {
         writeFile(r + "/a/f.txt", "f");
         ASSERT_TRUE(makeSymlink("..", r + "/a/up"));
         ASSERT_TRUE(makeSymlink("/", r + "/out"));
       },
       {"a", "a/f.txt", "a/up", "a/up !refused", "a <0", "out", "out !refused"},
       {},
       nullptr,
       true},
      {"names with spaces and other letters",
       [](const std::string& r) {
         writeFile(r + "/with space/größe ü.txt", "g");
         makeDirs(r + "/ä b");
       },
       {"with space", "with space/größe ü.txt", "with space <0", "ä b", "ä b <0"}},
      {"a folder removed after it was listed is passed over",
       [](const std::string& r) {
         writeFile(r + "/gone/x.txt", "x");
         makeDirs(r + "/stay");
       },
       {"gone", "gone !gone", "stay", "stay <0"},
       [](TreeWalk& walk, char at, const std::string& path, Log&) {
         if (at != 'L' || !path.empty()) return;
         ::unlinkat(walk.fd(), "gone/x.txt", 0);
         ::unlinkat(walk.fd(), "gone", AT_REMOVEDIR);
       }},
      {"a folder listed once more sees what came meanwhile",
       [](const std::string& r) { writeFile(r + "/d/f1", "1"); },
       {"d", "d/f1", "d <0", "d/late", "d <1"},
       [](TreeWalk& walk, char at, const std::string& path, Log& log) {
         if (at != 'E' || path != "d" || log.count("d/late") != 0) return;
         const int fd = ::openat(walk.fd(), "d/late", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
         ::close(fd);
         if (walk.enter("d") != 0) ADD_FAILURE() << "not entered again";
       }},
      {"an owner's read-only folder made writable once, never the start folder",
       [](const std::string& r) {
         writeFile(r + "/ro/f", "f");
         ::chmod((r + "/ro").c_str(), 0555);
       },
       {"start 0", "ro", "ro/f", "ro writable 1 0 mode 7", "ro <0"},
       [](TreeWalk& walk, char at, const std::string& path, Log& log) {
         if (at == 'L' && path.empty()) log.insert("start " + std::to_string(walk.makeWritable()));
         if (at != 'V' || path != "ro/f") return;
         const bool first = walk.makeWritable();
         const bool second = walk.makeWritable();
         struct stat st {};
         ::fstat(walk.fd(), &st);
         log.insert("ro writable " + std::to_string(first) + " " + std::to_string(second) + " mode " +
                    std::to_string((st.st_mode >> 6) & 7));
       }},
      {"another file system is not entered",
       [](const std::string& r) { makeDirs(r + "/mnt"); },
       {"mnt", "mnt !mount"},
       {},
       "mnt"},
      {"a chain deeper than the descriptor budget",
       [&deep](const std::string& r) { deepChain(r, 60, &deep); },
       {},
       [](TreeWalk& walk, char, const std::string& path, Log& log) {
         if (walk.openDescriptors() > kBudget) log.insert("over the budget at " + path);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.links && !kOnLinux) {
      std::cout << "skipped (Linux only: symbolic links): " << c.what << "\n";
      continue;
    }
    TempDir tmp;
    c.arrange(tmp.path());
    const std::string mountAt = c.mount != nullptr ? tmp / c.mount : std::string();
    std::optional<TmpfsMount> mounted;
    if (!mountAt.empty() && !mounted.emplace(mountAt).made()) {
      std::cout << "skipped (no mounts allowed here): " << c.what << "\n";
      continue;
    }
    if (!mountAt.empty()) writeFile(mountAt + "/inside.txt", "i");
    Recorder recorder;
    recorder.hook = c.hook;
    TreeWalk walk(kBudget);
    walk.run(::openat(AT_FDCWD, tmp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), recorder);
    mounted.reset();
    EXPECT_EQ(recorder.log, c.expected.empty() ? deep : c.expected);
  }
}

}  // namespace
}  // namespace pitkit
