#pragma once
// Date-times as the home platform counts them, and the conversions from file times.
#include <cstdint>
#include <ctime>

namespace pitkit {

// Days since 30 December 1899, local time; the fraction is the time of day. 0 means "not set".
using TDateTime = double;

// The date-time of a calendar date and time of day (no range checks beyond the calendar's own).
TDateTime encodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int millisecond = 0);

// A file time as the platform's raw find data holds it: UTC, 100-ns intervals since 1 January 1601.
std::uint64_t unixToFileTime(std::int64_t seconds, std::uint32_t nanoseconds);
// The file time converted to local time, as a date-time (millisecond precision).
TDateTime fileTimeToLocalDateTime(std::uint64_t fileTime);
// The file time converted to local time, packed as date (high word) and time (low word):
// bits 25..31 years since 1980, 21..24 month, 16..20 day, 11..15 hour, 5..10 minute, 0..4 seconds/2.
// 0 when the local date lies outside 1980..2107, which the packed form cannot hold.
std::int32_t fileTimeToLocalPackedDateTime(std::uint64_t fileTime);

}  // namespace pitkit
