#pragma once
// The organizer lists' filter: which rows a typed text keeps, by caption or display name, letter
// case ignored for ASCII letters only (as in the program's name rules), and the count it shows.
#include <string>
#include <string_view>

namespace pitkit {

// `text` with its ASCII capitals made small; every other byte (UTF-8 beyond ASCII too) is kept.
std::string foldAsciiCase(std::string_view text);

// What a row is found by: its caption and its display name ("" until read), each folded once.
struct FilterKey {
  std::string caption;
  std::string name;
};
FilterKey filterKey(std::string_view caption, std::string_view name);

// A typed filter text, folded once, tested against many rows.
class FilterText {
 public:
  FilterText() = default;
  explicit FilterText(std::string_view typed) : folded_(foldAsciiCase(typed)) {}
  bool empty() const { return folded_.empty(); }
  // Whether the row shows: an empty text keeps every row, any other one the rows whose caption or
  // display name holds it.
  bool matches(const FilterKey& key) const {
    return folded_.empty() || key.caption.find(folded_) != std::string::npos ||
           key.name.find(folded_) != std::string::npos;
  }

 private:
  std::string folded_;
};

// One row tested once: FilterText(text).matches(filterKey(caption, name)).
bool rowMatches(std::string_view caption, std::string_view name, std::string_view text);

// "12 of 2,006": rows shown of all rows, thousands separated by a comma.
std::string filterCountText(long long shown, long long total);

}  // namespace pitkit
