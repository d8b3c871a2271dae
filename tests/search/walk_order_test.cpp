// The walk reports each folder's entries in name order with letter case ignored, whatever order
// the disk lists them in: matches first, then the subfolders depth first, in that order too.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "search/FindFile.h"
#include "search/search_support.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::Recorder;
using test::TempDir;

TEST(SearchWalkOrder, EntriesComeInNameOrderIgnoringCase) {
  TempDir t;
  // Made in an order that is neither byte order nor name order.
  for (const char* p : {"b.inf", "Zeta/z.inf", "a_b.inf", "Alpha/q.inf", "ab.INF", "C.inf",
                        "alpha2/y.inf", "Zeta/B/b.inf", "Zeta/a/a.inf", "B2.inf"})
    test::writeFile(t / p, "x");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t.path());
  Recorder r(f);
  f.Execute();
  const std::string& d = t.path();
  EXPECT_EQ(r.events,
            (std::vector<std::string>{
                "new " + d, "found " + d + " ab.INF", "found " + d + " a_b.inf",
                "found " + d + " b.inf", "found " + d + " B2.inf", "found " + d + " C.inf",
                "new " + d + "/Alpha", "found " + d + "/Alpha q.inf", "new " + d + "/alpha2",
                "found " + d + "/alpha2 y.inf", "new " + d + "/Zeta", "found " + d + "/Zeta z.inf",
                "new " + d + "/Zeta/a", "found " + d + "/Zeta/a a.inf", "new " + d + "/Zeta/B",
                "found " + d + "/Zeta/B b.inf", "complete"}));
}

TEST(SearchWalkOrder, ALargeFolderInShuffledOrderIsReportedWholeAndSorted) {
  TempDir t;
  // Long names, so the listing outgrows the walk's first buffer.
  std::vector<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    std::string name = "Level_with_a_rather_long_name_" + std::to_string(i * 7919 % 1500) + ".inf";
    if (i % 2 == 0) std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    names.push_back(name);
  }
  std::vector<std::string> made = names;
  std::shuffle(made.begin(), made.end(), std::mt19937(42));
  for (const std::string& name : made) test::writeFile(t / name, "");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t.path());
  Recorder r(f);
  f.Execute();
  std::vector<std::string> expected;
  std::sort(names.begin(), names.end(), [](std::string a, std::string b) {
    std::transform(a.begin(), a.end(), a.begin(), ::toupper);
    std::transform(b.begin(), b.end(), b.begin(), ::toupper);
    return a < b;
  });
  for (const std::string& name : names) expected.push_back(t / name);
  EXPECT_EQ(r.found, expected);
}

}  // namespace
}  // namespace pitkit
