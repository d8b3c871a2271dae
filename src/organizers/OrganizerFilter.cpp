#include "organizers/OrganizerFilter.h"

#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "organizers/OrganizerList.h"
#include "platform/HostSystem.h"
#include "platform/Paths.h"

namespace pitkit {

// The display name of one row, read for one reading of its list.
struct DisplayNameRead {
  int list;
  unsigned generation;
  int row;
  std::string name;
};

// Reads display names on a thread of its own, in the order asked, and hands them over in batches
// (so that a list of thousands is not tested again once per name).
class DisplayNameReader {
 public:
  struct Job {
    int list;
    unsigned generation;
    int row;
    std::string path;
  };
  using Deliver = std::function<void(std::vector<DisplayNameRead>)>;

  DisplayNameReader(OrganizerFilter::NameReader read, Deliver deliver)
      : read_(std::move(read)), deliver_(std::move(deliver)) {}
  DisplayNameReader(const DisplayNameReader&) = delete;
  DisplayNameReader& operator=(const DisplayNameReader&) = delete;
  ~DisplayNameReader() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
      jobs_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  void add(std::vector<Job> jobs) {
    {
      const std::lock_guard lock(mutex_);
      for (Job& job : jobs) jobs_.push_back(std::move(job));
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    wake_.notify_one();
  }

  // The names asked for `list` are no longer wanted (it is read again).
  void drop(int list) {
    const std::lock_guard lock(mutex_);
    std::erase_if(jobs_, [list](const Job& job) { return job.list == list; });
  }

 private:
  static constexpr size_t kBatch = 256;
  static constexpr int kNiceAbove = 10;

  void run() {
    // Below the searches that fill the lists: the names take what the searches leave of the
    // processors, so Go is not slowed by them. Refusals are ignored.
    lowerThisThreadPriority(kNiceAbove);
    std::vector<DisplayNameRead> done;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (stop_) return;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      std::string name;
      try {
        name = read_(job.path);
      } catch (...) {
        // An unreadable file has no display name: its row is found by its caption.
      }
      done.push_back({job.list, job.generation, job.row, std::move(name)});
      lock.lock();
      if (done.size() >= kBatch || jobs_.empty()) {
        if (stop_) return;
        deliver_(std::exchange(done, {}));
      }
    }
  }

  OrganizerFilter::NameReader read_;
  Deliver deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stop_ = false;
  std::thread thread_;
};

OrganizerFilter::OrganizerFilter(QLineEdit* box, QLabel* count, std::vector<QTreeWidget*> lists,
                                 NameReader readName)
    : box_(box), count_(count) {
  // The names come back on this object's thread; the reader is stopped before this object goes,
  // and Qt drops what was posted to it and not yet handled.
  reader_ = std::make_unique<DisplayNameReader>(
      std::move(readName), [this](std::vector<DisplayNameRead> names) {
        QMetaObject::invokeMethod(
            this, [this, names = std::move(names)] { namesRead(names); }, Qt::QueuedConnection);
      });
  box_->setPlaceholderText(QStringLiteral("Filter"));
  box_->setClearButtonEnabled(true);
  // Ctrl+F reaches the box of the page shown: a shortcut of a hidden widget does not fire.
  auto* find =
      new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), box_, nullptr, nullptr, Qt::WindowShortcut);
  connect(find, &QShortcut::activated, box_, [this] {
    box_->setFocus(Qt::ShortcutFocusReason);
    box_->selectAll();
  });
  auto* escape =
      new QShortcut(QKeySequence(Qt::Key_Escape), box_, nullptr, nullptr, Qt::WidgetShortcut);
  connect(escape, &QShortcut::activated, box_, &QLineEdit::clear);
  connect(box_, &QLineEdit::textChanged, this, [this] { textChanged(); });
  for (QTreeWidget* list : lists) lists_.push_back({list, {}});
  for (int i = 0; i < static_cast<int>(lists_.size()); ++i) watch(i);
  showCount();
}

OrganizerFilter::~OrganizerFilter() { reader_.reset(); }

void OrganizerFilter::watch(int index) {
  QTreeWidget* list = lists_[index].list;
  QAbstractItemModel* model = list->model();
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this, index](const QModelIndex& parent, int first, int last) {
            if (parent.isValid()) return;
            if (first == static_cast<int>(lists_[index].rows.size()))
              rowsAdded(index, first, last);
            else
              reread(index);
          });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this, index](const QModelIndex& parent) {
    if (!parent.isValid()) reread(index);
  });
  connect(model, &QAbstractItemModel::rowsMoved, this, [this, index] { reread(index); });
  connect(model, &QAbstractItemModel::modelReset, this, [this, index] { reread(index); });
  connect(model, &QAbstractItemModel::layoutChanged, this, [this, index] { reread(index); });
  connect(list, &QTreeWidget::itemSelectionChanged, this, [list] { dropHiddenSelection(list); });
}

void OrganizerFilter::rowsAdded(int index, int first, int last) {
  ListRows& rows = lists_[index];
  std::vector<DisplayNameReader::Job> jobs;
  jobs.reserve(last - first + 1);
  for (int row = first; row <= last; ++row) {
    const QTreeWidgetItem* item = rows.list->topLevelItem(row);
    // The caption as the row shows it; the name as the name line gives it (both UTF-8).
    rows.rows.push_back(
        {filterKey(item->text(0).toUtf8().toStdString(), {}), rows.list->isRowHidden(row, {})});
    if (rows.rows.back().hidden) ++rows.hidden;
    jobs.push_back(
        {index, rows.generation, row, includeTrailingDelim(itemFolder(item)) + itemFileName(item)});
  }
  reader_->add(std::move(jobs));
  applyTo(rows, first);
  showCount();
}

void OrganizerFilter::reread(int index) {
  ListRows& rows = lists_[index];
  reader_->drop(index);
  ++rows.generation;
  rows.rows.clear();
  rows.hidden = 0;
  if (const int count = rows.list->topLevelItemCount(); count > 0)
    rowsAdded(index, 0, count - 1);
  else
    showCount();
}

void OrganizerFilter::textChanged() {
  text_ = FilterText(box_->text().toUtf8().toStdString());
  for (ListRows& rows : lists_) {
    applyTo(rows, 0);
    // The selected row stays in view when it still shows.
    if (const QTreeWidgetItem* selected = selectedItem(rows.list))
      rows.list->scrollToItem(selected);
  }
  showCount();
}

void OrganizerFilter::namesRead(const std::vector<DisplayNameRead>& names) {
  bool shown = false;
  for (const DisplayNameRead& read : names) {
    ListRows& rows = lists_[read.list];
    if (read.generation != rows.generation || read.row >= static_cast<int>(rows.rows.size()))
      continue;
    Row& row = rows.rows[read.row];
    row.key.name = foldAsciiCase(read.name);
    // A name only adds to what the caption matched: a hidden row may now show.
    if (row.hidden && text_.matches(row.key)) {
      if (!shown)
        for (ListRows& each : lists_) each.list->setUpdatesEnabled(false);
      shown = true;
      setHidden(rows, read.row, false);
    }
  }
  if (!shown) return;
  for (ListRows& each : lists_) each.list->setUpdatesEnabled(true);
  showCount();
}

void OrganizerFilter::applyTo(ListRows& rows, int from) {
  const int count = static_cast<int>(rows.rows.size());
  bool changed = false;
  for (int row = from; row < count; ++row) {
    const bool hide = !text_.matches(rows.rows[row].key);
    if (hide == rows.rows[row].hidden) continue;
    // Hiding rows one by one lays the list out once, after the last one.
    if (!changed) rows.list->setUpdatesEnabled(false);
    changed = true;
    setHidden(rows, row, hide);
  }
  if (!changed) return;
  rows.list->setUpdatesEnabled(true);
  dropHiddenSelection(rows.list);
}

void OrganizerFilter::setHidden(ListRows& rows, int row, bool hide) {
  rows.list->setRowHidden(row, QModelIndex(), hide);
  rows.rows[row].hidden = hide;
  rows.hidden += hide ? 1 : -1;
}

void OrganizerFilter::dropHiddenSelection(QTreeWidget* list) {
  // The list's selected items leave hidden rows out, but they stay selected (and would be selected
  // again when they show); the selection model has them all.
  QItemSelection hidden;
  for (const QModelIndex& index : list->selectionModel()->selectedRows())
    if (list->isRowHidden(index.row(), index.parent())) hidden.select(index, index);
  if (!hidden.isEmpty())
    list->selectionModel()->select(hidden,
                                   QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void OrganizerFilter::showCount() {
  long long shown = 0, total = 0;
  for (const ListRows& rows : lists_) {
    total += static_cast<long long>(rows.rows.size());
    shown += static_cast<long long>(rows.rows.size()) - rows.hidden;
  }
  count_->setText(QString::fromStdString(filterCountText(shown, total)));
}

}  // namespace pitkit
