#pragma once
// The part of SQLite's C API the history uses: statements and transactions that raise SqlFailure,
// worded with the database's path and what was being done, and times as UTC text.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace pitkit {

// A failure of SQLite, worded for the error box.
struct SqlFailure {
  std::string message;
};

// What was being done with the database, for the message.
enum class SqlUse { Opening, Reading, Writing };

// "Cannot <use> the history of actions <path>: <reason>".
std::string sqlFailureText(SqlUse use, const std::string& path, const std::string& reason);

// Runs statements that give no rows, several separated by semicolons.
void sqlExecute(sqlite3* db, const std::string& path, SqlUse use, const char* sql);

// "2026-12-08T05:22:12Z", and back (empty for any other text).
std::string utcText(std::chrono::sys_seconds time);
std::optional<std::chrono::sys_seconds> parseUtc(const std::string& text);

// One prepared statement, finalised on every way out.
class SqlStatement {
 public:
  SqlStatement(sqlite3* db, const std::string& path, SqlUse use, const char* sql);
  ~SqlStatement();
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  SqlStatement& bind(int index, const std::string& text);
  SqlStatement& bind(int index, std::int64_t number);
  SqlStatement& bindNull(int index);
  // True with a row to read, false when done.
  bool step();
  // Ready to run again, with new values.
  void reset();

  bool isNull(int column) const;
  std::int64_t number(int column) const;
  std::string text(int column) const;
  std::chrono::sys_seconds time(int column) const;
  // Raises the failure of a database that holds `what`, which it never should.
  [[noreturn]] void damaged(const std::string& what) const;

 private:
  SqlStatement& check(int result);
  [[noreturn]] void fail() const;

  sqlite3* db_;
  const std::string& path_;
  SqlUse use_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A transaction, rolled back unless committed. A writing one takes the write lock at once, so
// that a lock held elsewhere is met before anything is written.
class SqlTransaction {
 public:
  SqlTransaction(sqlite3* db, const std::string& path, SqlUse use);
  ~SqlTransaction();
  SqlTransaction(const SqlTransaction&) = delete;
  SqlTransaction& operator=(const SqlTransaction&) = delete;
  void commit();

 private:
  sqlite3* db_;
  const std::string& path_;
  SqlUse use_;
  bool committed_ = false;
};

}  // namespace pitkit
