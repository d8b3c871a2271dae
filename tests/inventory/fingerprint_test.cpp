// The fingerprint of an item's folder: its definition worked out by hand on a small folder, and
// what changes it and what does not.
#include "inventory/ItemFingerprint.h"

#include "platform/Posix.h"

#include <functional>
#include <iostream>
#include <gtest/gtest.h>

#include "platform/Sha256.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using namespace test;

// Names whose order as capitals differs from their byte order ("Zed" < "apple" in bytes, "_x"
// before "b"), a folder beside a file whose name it begins ("sub.txt" before "sub/...").
void writeItem(const std::string& folder) {
  writeFile(folder + "/Zed", "zz");
  writeFile(folder + "/apple", "hello");
  writeFile(folder + "/_x", "");
  writeFile(folder + "/b", std::string("\0\1", 2));
  writeFile(folder + "/sub/Deep.bin", "deep");
  writeFile(folder + "/sub.txt", "t");
}

// What one file contributes: its path in capitals, NUL, its size in 8 bytes little-endian, its bytes.
std::string part(const std::string& upperPath, const std::string& bytes) {
  std::string size(8, '\0');
  for (int i = 0; i < 8; ++i) size[i] = static_cast<char>((bytes.size() >> (8 * i)) & 0xff);
  return upperPath + std::string(1, '\0') + size + bytes;
}

TEST(ItemFingerprint, TheDefinitionByHand) {
  TempDir tmp;
  writeItem(tmp / "item");
  EXPECT_EQ(fingerprintFiles(tmp / "item"),
            (std::vector<std::string>{"apple", "b", "sub.txt", "sub/Deep.bin", "Zed", "_x"}));
  const std::string bytes = part("APPLE", "hello") + part("B", std::string("\0\1", 2)) + part("SUB.TXT", "t") +
                            part("SUB/DEEP.BIN", "deep") + part("ZED", "zz") + part("_X", "");
  EXPECT_EQ(itemFingerprint(tmp / "item"), sha256Hex(bytes));
  EXPECT_EQ(itemFingerprint(tmp / "item/"), sha256Hex(bytes));
  // An empty folder is the digest of nothing.
  makeDirs(tmp / "empty");
  EXPECT_EQ(itemFingerprint(tmp / "empty"), sha256Hex(""));
}

TEST(ItemFingerprint, WhatChangesItAndWhatDoesNot) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> change;
    bool same;
    bool linuxOnly = false;  // links, FIFOs and sockets
  };
  const Case cases[] = {
      {"names renamed in letter case only", [](const std::string& f) {
         ASSERT_EQ(::rename((f + "/apple").c_str(), (f + "/APPLE").c_str()), 0);
         ASSERT_EQ(::rename((f + "/sub").c_str(), (f + "/Sub").c_str()), 0);
       }, true},
      {"a link to a file and one to a folder", [](const std::string& f) {
         ASSERT_TRUE(makeSymlink("apple", f + "/link"));
         ASSERT_TRUE(makeSymlink("sub", f + "/linked"));
       }, true, true},
      {"a fifo and a socket", [](const std::string& f) {
         ASSERT_TRUE(makeFifo(f + "/fifo"));
         const BoundSocket socket(f + "/socket");
         ASSERT_TRUE(socket.made());
       }, true, true},
      {"an empty folder", [](const std::string& f) { makeDirs(f + "/nothing/here"); }, true},
      {"one byte changed", [](const std::string& f) { writeFile(f + "/sub/Deep.bin", "deeP"); }, false},
      {"an empty file added", [](const std::string& f) { writeFile(f + "/new", ""); }, false},
      {"a file moved into a folder", [](const std::string& f) {
         ASSERT_EQ(::rename((f + "/Zed").c_str(), (f + "/sub/Zed").c_str()), 0);
       }, false},
      {"two files' contents swapped", [](const std::string& f) {
         writeFile(f + "/Zed", "hello");
         writeFile(f + "/apple", "zz");
       }, false},
  };
  TempDir tmp;
  writeItem(tmp / "base");
  const std::string base = itemFingerprint(tmp / "base");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.linuxOnly && !kOnLinux) {
      std::cout << "skipped (Linux only): " << c.what << "\n";
      continue;
    }
    const std::string folder = tmp / c.what;
    writeItem(folder);
    c.change(folder);
    EXPECT_EQ(itemFingerprint(folder) == base, c.same);
  }
}

TEST(ItemFingerprint, ManyFoldersAtOnceAndWhatCannotBeRead) {
  TempDir tmp;
  std::vector<std::string> folders;
  for (int i = 0; i < 40; ++i) {
    folders.push_back(tmp / ("item" + std::to_string(i)));
    writeFile(folders.back() + "/file", std::string(static_cast<std::size_t>(i) * 100'000, 'x'));
  }
  const std::vector<std::string> prints = itemFingerprints(folders, nullptr, 2);
  ASSERT_EQ(prints.size(), folders.size());
  for (std::size_t i = 0; i < folders.size(); i += 13) EXPECT_EQ(prints[i], itemFingerprint(folders[i]));
  // A missing folder is an error naming it, raised after the others have ended.
  folders.insert(folders.begin() + 5, tmp / "gone");
  EXPECT_EQ(errorOf([&] { itemFingerprints(folders, nullptr, 2); }), "Cannot read " + tmp / "gone: No such file or directory");

  // A file or a folder its user cannot read is an error naming it, never left out.
  PITKIT_LINUX_ONLY("another user, whom permission bits stop, in a forked child");
  writeFile(tmp / "locked/open", "a");
  writeFile(tmp / "locked/shut", "b");
  writeFile(tmp / "closed/inner/file", "c");
  ASSERT_EQ(giveTreeTo(tmp.path(), kNobody), "");
  ASSERT_EQ(::chmod((tmp / "locked/shut").c_str(), 0), 0);
  ASSERT_EQ(::chmod((tmp / "closed/inner").c_str(), 0), 0);
  const ChildOutcome outcome = runInChild(asUnprivilegedUser(), [&] {
    std::string report;
    for (const std::string item : {"locked", "closed"}) {
      const std::string seen = errorOf([&] { itemFingerprint(tmp / item); });
      const std::string unread = item == "locked" ? "locked/shut" : "closed/inner";
      if (seen != "Cannot read " + tmp / unread + ": Permission denied") report += "saw \"" + seen + "\"; ";
    }
    return report;
  });
  EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome;
}

}  // namespace
}  // namespace pitkit
