#pragma once
// Install, Uninstall and Delete of several rows at once: the rows run one after another in one
// progress window, each whole or not at all, a failed one does not stop the others, and what went
// wrong is told once at the end. Also the questions asked before a delete.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace pitkit {

struct TransferProgress;

// A row of a batch, read from its list before the batch runs: its caption, where its folder lies
// and where a move takes it ("" for a delete).
struct BatchRow {
  std::string caption, from, to;
};

// What a batch did: the rows done (their `to` where the folder went), those that failed with the
// reason, and whether its Cancel stopped it.
struct BatchResult {
  std::vector<BatchRow> done;
  std::vector<std::pair<std::string, std::string>> failed;  // the row's caption, the reason
  bool cancelled = false;
};

// Runs `act` on each row in turn on a worker thread, in one progress window owned by `window` whose
// label names the row in hand ("Uninstalling b (2 of 3)") and whose Cancel stops that row where it
// can (a move before its copy is in place) and the rest. `act` returns where the row's folder went.
// `rowDone` runs on the worker after each row done, with the rows done so far, before the next
// starts: what it records holds even if the program is killed in the next row.
BatchResult runBatch(QWidget* window, const std::vector<BatchRow>& rows, const char* verb,
                     const std::function<std::string(const BatchRow&, TransferProgress&)>& act,
                     const std::function<void(const std::vector<BatchRow>&)>& rowDone);

// The question before one item is deleted: the item of kind `itemKind` in `folder`. True for Yes,
// the default button.
bool confirmDelete(QWidget* window, const char* itemKind, const std::string& folder);

// The one question before several rows are deleted: how many `noun` ("levels"), the first five
// by their `itemKind` ("Level: a") and how many more, and the folder `folder` they lie in. True
// for Yes, the default button.
bool confirmBatchDelete(QWidget* window, const char* itemKind, const std::string& noun,
                        const std::vector<BatchRow>& rows, const std::string& folder);

// "Uninstalling cancelled after 1 of 3 levels; the rest were left as they were", or "" when the
// cancel stopped nothing (it came only after the last row).
std::string batchCancelledText(const BatchResult& result, std::size_t rows, const char* verb,
                               const std::string& noun);

// "1 of 3 levels could not be installed:" and a line for each failed row with its reason; "" when
// none failed.
std::string batchFailureText(const BatchResult& result, std::size_t rows, const std::string& noun,
                             const char* done);

// "levels", "cars": what several items of kind `itemKind` ("Level") are called.
std::string itemsNoun(const char* itemKind);

}  // namespace pitkit
