#include "platform/DateTime.h"

#include "platform/Posix.h"

namespace pitkit {
namespace {

// Seconds from 1 January 1601 to 1 January 1970.
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600LL;

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Days from 30 December 1899 to 1 January 1970.
const std::int64_t kDateTimeEpochDays = -daysFromCivil(1899, 12, 30);

// Splits a file time into whole Unix seconds (floor) and milliseconds, then into local fields.
bool localFields(std::uint64_t fileTime, std::tm& fields, int& millisecond) {
  const std::int64_t ticks = static_cast<std::int64_t>(fileTime);
  std::int64_t seconds = ticks / 10000000 - kUnixEpochInFileTimeSeconds;
  millisecond = static_cast<int>((ticks % 10000000) / 10000);
  const std::time_t t = static_cast<std::time_t>(seconds);
  return ::localtime_r(&t, &fields) != nullptr;
}

}  // namespace

TDateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  const double days = static_cast<double>(
      daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kDateTimeEpochDays);
  const double time = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
  // Before the epoch the fraction counts forward from the date, as the platform encodes it.
  return days >= 0 ? days + time : days - time;
}

std::uint64_t unixToFileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
  const std::int64_t s = seconds + kUnixEpochInFileTimeSeconds;
  if (s < 0) return 0;
  return static_cast<std::uint64_t>(s) * 10000000u + nanoseconds / 100u;
}

TDateTime fileTimeToLocalDateTime(std::uint64_t fileTime) {
  std::tm f{};
  int ms = 0;
  if (!localFields(fileTime, f, ms)) return 0;
  return encodeDateTime(f.tm_year + 1900, f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec, ms);
}

std::int32_t fileTimeToLocalPackedDateTime(std::uint64_t fileTime) {
  std::tm f{};
  int ms = 0;
  if (!localFields(fileTime, f, ms)) return 0;
  const int year = f.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const std::uint32_t date = (static_cast<std::uint32_t>(year - 1980) << 9) |
                             (static_cast<std::uint32_t>(f.tm_mon + 1) << 5) |
                             static_cast<std::uint32_t>(f.tm_mday);
  const std::uint32_t time = (static_cast<std::uint32_t>(f.tm_hour) << 11) |
                             (static_cast<std::uint32_t>(f.tm_min) << 5) |
                             static_cast<std::uint32_t>(f.tm_sec / 2);
  return static_cast<std::int32_t>((date << 16) | time);
}

}  // namespace pitkit
