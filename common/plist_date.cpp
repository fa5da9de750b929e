#include "common/plist_date.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace brimwell {
namespace {

constexpr int64_t kUnixDayOf2001 = 11323;
constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a civil date, and back (Howard Hinnant's algorithms): exact for every
// year, where time_t and gmtime stop at their own limits.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
  int64_t year;
  unsigned month, day;
};

CivilDate civilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
  return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

bool isLeap(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned daysInMonth(int64_t year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// The digits at [at, at + count) as a number; -1 when one is not a digit.
int64_t digitsAt(std::string_view text, size_t at, size_t count) {
  int64_t value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

const double kFirstSecond =
    static_cast<double>((daysFromCivil(1, 1, 1) - kUnixDayOf2001) * kSecondsPerDay);
const double kEndOfLastSecond =
    static_cast<double>((daysFromCivil(10000, 1, 1) - kUnixDayOf2001) * kSecondsPerDay);

}  // namespace

std::optional<double> parsePlistDate(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SSZ
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  const int64_t year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2),
                day = digitsAt(text, 8, 2), hour = digitsAt(text, 11, 2),
                minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  if (day > daysInMonth(year, static_cast<unsigned>(month))) return std::nullopt;
  const int64_t days =
      daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return static_cast<double>((days - kUnixDayOf2001) * kSecondsPerDay + hour * 3600 + minute * 60 +
                             second);
}

std::optional<std::string> formatPlistDate(double secondsSince2001) {
  if (!(secondsSince2001 >= kFirstSecond && secondsSince2001 < kEndOfLastSecond)) {
    return std::nullopt;
  }
  const auto whole = static_cast<int64_t>(std::floor(secondsSince2001));
  const int64_t unixDays =
      kUnixDayOf2001 + (whole >= 0 ? whole / kSecondsPerDay : -((-whole - 1) / kSecondsPerDay) - 1);
  const int64_t ofDay = whole - (unixDays - kUnixDayOf2001) * kSecondsPerDay;
  const CivilDate date = civilFromDays(unixDays);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<long long>(ofDay / 3600), static_cast<long long>(ofDay / 60 % 60),
                static_cast<long long>(ofDay % 60));
  return std::string(text);
}

}  // namespace brimwell
