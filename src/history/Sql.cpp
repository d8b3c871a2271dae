#include "history/Sql.h"

#include <sqlite3.h>

#include <cstdio>

namespace pitkit {

using std::chrono::sys_seconds;

std::string sqlFailureText(SqlUse use, const std::string& path, const std::string& reason) {
  static constexpr const char* kUse[] = {"open", "read", "write to"};
  return std::string("Cannot ") + kUse[static_cast<int>(use)] + " the history of actions " + path +
         ": " + reason;
}

void sqlExecute(sqlite3* db, const std::string& path, SqlUse use, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string reason = error != nullptr ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw SqlFailure{sqlFailureText(use, path, reason)};
  }
}

std::string utcText(sys_seconds time) {
  const auto day = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date(day);
  const std::chrono::hh_mm_ss clock(time - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

std::optional<sys_seconds> parseUtc(const std::string& text) {
  int y = 0, h = 0, mi = 0, s = 0;
  unsigned mo = 0, d = 0;
  char zone = 0;
  if (std::sscanf(text.c_str(), "%d-%u-%uT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &zone) != 7 ||
      zone != 'Z')
    return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(mo),
                                         std::chrono::day(d)};
  if (!date.ok()) return std::nullopt;
  return std::chrono::sys_days(date) + std::chrono::hours(h) + std::chrono::minutes(mi) +
         std::chrono::seconds(s);
}

SqlStatement::SqlStatement(sqlite3* db, const std::string& path, SqlUse use, const char* sql)
    : db_(db), path_(path), use_(use) {
  if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail();
}

SqlStatement::~SqlStatement() { sqlite3_finalize(stmt_); }

SqlStatement& SqlStatement::bind(int index, const std::string& text) {
  return check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT));
}

SqlStatement& SqlStatement::bind(int index, std::int64_t number) {
  return check(sqlite3_bind_int64(stmt_, index, number));
}

SqlStatement& SqlStatement::bindNull(int index) { return check(sqlite3_bind_null(stmt_, index)); }

bool SqlStatement::step() {
  const int result = sqlite3_step(stmt_);
  if (result != SQLITE_ROW && result != SQLITE_DONE) fail();
  return result == SQLITE_ROW;
}

void SqlStatement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool SqlStatement::isNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t SqlStatement::number(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqlStatement::text(int column) const {
  const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (bytes == nullptr) return {};
  return std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

sys_seconds SqlStatement::time(int column) const {
  const std::optional<sys_seconds> time = parseUtc(text(column));
  if (!time) damaged("the time \"" + text(column) + "\"");
  return *time;
}

void SqlStatement::damaged(const std::string& what) const {
  throw SqlFailure{sqlFailureText(SqlUse::Reading, path_, "it holds " + what)};
}

SqlStatement& SqlStatement::check(int result) {
  if (result != SQLITE_OK) fail();
  return *this;
}

void SqlStatement::fail() const {
  throw SqlFailure{sqlFailureText(use_, path_, sqlite3_errmsg(db_))};
}

SqlTransaction::SqlTransaction(sqlite3* db, const std::string& path, SqlUse use)
    : db_(db), path_(path), use_(use) {
  sqlExecute(db, path, use, use == SqlUse::Reading ? "BEGIN" : "BEGIN IMMEDIATE");
}

SqlTransaction::~SqlTransaction() {
  if (!committed_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlTransaction::commit() {
  sqlExecute(db_, path_, use_, "COMMIT");
  committed_ = true;
}

}  // namespace pitkit
