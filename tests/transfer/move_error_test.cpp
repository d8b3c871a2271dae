// The move's error records and the one place that words them: each field lands in its sentence,
// and a refusal raised from a record is an EOSError with the system's code.
#include <gtest/gtest.h>

#include <cerrno>

#include "transfer/MoveError.h"

namespace pitkit {
namespace {

TEST(MoveError, EachRecordIsWordedWithItsOwnFields) {
  using K = MoveError::Kind;
  const struct {
    MoveError error;
    std::string text;
  } cases[] = {
      {{K::NoSource}, "Cannot move: no source folder given"},
      {{.kind = K::NoDestination, .item = "/g/levels/a"},
       "Cannot move /g/levels/a: no destination given"},
      {{.kind = K::NameTaken, .item = "a", .destination = "/g/un_levels", .entry = "A"},
       "Cannot move a to /g/un_levels: an entry named A is already there"},
      {{.kind = K::Changed, .item = "a", .entry = "x/y"},
       "Cannot move a: it changed while it was being copied (x/y); nothing was deleted"},
      {{.kind = K::CopyNotRemoved,
        .item = "a",
        .destination = "/h/a",
        .entry = "y",
        .reason = "Busy"},
       "Cannot move a: it changed while it was being copied (y), and its copy at /h/a could not be "
       "removed (Busy); nothing was deleted"},
      {{.kind = K::SourceLeft,
        .item = "a",
        .destination = "/h/a",
        .source = "/g/a",
        .entry = "1 entry: b",
        .error = EACCES},
       "Cannot move a: it was copied whole to /h/a, but its source could not be deleted (left in "
       "/g/a: 1 entry: b): Permission denied"},
      {{.kind = K::System, .item = "/g/a", .error = ENOENT},
       "Cannot move /g/a: No such file or directory"},
      {{.kind = K::System, .item = "/g/a", .destination = "/h/a", .error = EIO},
       "Cannot move /g/a to /h/a: Input/output error"},
      {{.kind = K::System, .destination = "/h/..", .error = EINVAL},
       "Cannot move to /h/..: Invalid argument"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(moveErrorText(c.error), c.text);
    try {
      throw EMoveError(c.error);
    } catch (const EOSError& e) {
      EXPECT_EQ(e.what(), c.text);
      EXPECT_EQ(e.ErrorCode, c.error.error) << c.text;
    }
  }
}

}  // namespace
}  // namespace pitkit
