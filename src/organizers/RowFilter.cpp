#include "organizers/RowFilter.h"

namespace pitkit {

std::string foldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

FilterKey filterKey(std::string_view caption, std::string_view name) {
  return {foldAsciiCase(caption), foldAsciiCase(name)};
}

bool rowMatches(std::string_view caption, std::string_view name, std::string_view text) {
  return FilterText(text).matches(filterKey(caption, name));
}

namespace {

std::string withThousands(long long n) {
  const bool negative = n < 0;
  std::string digits = std::to_string(negative ? -n : n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return negative ? "-" + digits : digits;
}

}  // namespace

std::string filterCountText(long long shown, long long total) {
  return withThousands(shown) + " of " + withThousands(total);
}

}  // namespace pitkit
