#include "dates/date_text.h"

#include "common/errors.h"
#include "common/names.h"
#include "dates/date_settings.h"
#include "platform/os/system.h"

namespace orvex {
namespace {

enum class Order { kMonthDayYear, kYearMonthDay, kDayMonthYear };

struct Layout {
  Order order;
  char separator;
};

// The form every text conversion reads and writes for a date type.
Layout TextLayout(int type) {
  switch (type) {
    case 1:
      return {Order::kYearMonthDay, '.'};
    case 2:
      return {Order::kDayMonthYear, '/'};
    case 3:
      return {Order::kDayMonthYear, '-'};
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
      return {Order::kDayMonthYear, '.'};
    default:
      return {Order::kMonthDayYear, '/'};
  }
}

// The form DTOC writes: the text form, except that type 8 is written with
// '/'. Type 7 has the form of types 4 to 6, so that DTOC and CTOD round-trip.
Layout DtocLayout(int type) {
  if (type == 8) return {Order::kDayMonthYear, '/'};
  return TextLayout(type);
}

std::string Arrange(Layout layout, std::string_view day, std::string_view month,
                    std::string_view year) {
  std::string out;
  auto join = [&](std::string_view a, std::string_view b, std::string_view c) {
    out.append(a).append(1, layout.separator).append(b).append(1, layout.separator).append(c);
  };
  switch (layout.order) {
    case Order::kMonthDayYear:
      join(month, day, year);
      break;
    case Order::kYearMonthDay:
      join(year, month, day);
      break;
    case Order::kDayMonthYear:
      join(day, month, year);
      break;
  }
  return out;
}

std::string YearBlanks() { return std::string(CenturyOn ? 4 : 2, ' '); }

std::string EmptyMask(Layout layout) { return Arrange(layout, "  ", "  ", YearBlanks()); }

std::string EmptyAmerican() { return "  /  /" + YearBlanks(); }

std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view Slice(std::string_view text, std::size_t pos, std::size_t len) {
  return pos < text.size() ? text.substr(pos, len) : std::string_view{};
}

std::string ZeroPadded(std::string_view text, std::size_t width) {
  std::string out;
  if (text.size() < width) out.assign(width - text.size(), '0');
  out.append(text);
  return out;
}

std::string NumberText(int value, std::size_t width) {
  return ZeroPadded(std::to_string(value), width);
}

// The three parts of a date text, split at the first two separators (the
// last part keeps any further separators) and trimmed at both ends.
struct Parts {
  std::string first, second, third;
  bool Empty() const { return first.empty() && second.empty() && third.empty(); }
};

Parts SplitParts(std::string_view text, char separator) {
  std::string_view pieces[3];
  std::size_t start = 0;
  for (int i = 0; i < 2; ++i) {
    std::size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      pieces[i] = Slice(text, start, std::string_view::npos);
      start = text.size() + 1;
      break;
    }
    pieces[i] = text.substr(start, at - start);
    start = at + 1;
  }
  pieces[2] = Slice(text, start, std::string_view::npos);
  return {TrimBoth(pieces[0]), TrimBoth(pieces[1]), TrimBoth(pieces[2])};
}

// With century set: a two-digit year gets the digits of its century in
// front, a year shorter than 4 is zero-padded. Without it: as given.
std::string NormalisedYear(std::string_view year, bool century) {
  if (!century) return std::string(year);
  std::string out(year);
  if (out.size() == 2) out = std::to_string(CenturyOf(DatePartValue(out)) / 100) + out;
  return ZeroPadded(out, 4);
}

// Month, day and year of a canonical text of 8 or 10 characters whose parts
// are all digits; false for anything else.
bool ParseAmerican(std::string_view american, CalendarDate& date) {
  if ((american.size() != 8 && american.size() != 10) || american[2] != '/' || american[5] != '/')
    return false;
  for (std::size_t i = 0; i < american.size(); ++i) {
    if (i == 2 || i == 5) continue;
    if (american[i] < '0' || american[i] > '9') return false;
  }
  date.month = DatePartValue(american.substr(0, 2));
  date.day = DatePartValue(american.substr(3, 2));
  date.year = DatePartValue(american.substr(6));
  return true;
}

// The full year of a parsed canonical text: a two-digit year gets its century.
std::int32_t FullYear(std::string_view american, std::int32_t year) {
  return american.size() == 8 ? CenturyOf(year) + year : year;
}

// Holds CenturyOn set for its lifetime, for the conversions that always read
// four-digit years.
class CenturyForced {
 public:
  CenturyForced() : saved_(CenturyOn) { CenturyOn = true; }
  ~CenturyForced() { CenturyOn = saved_; }
  CenturyForced(const CenturyForced&) = delete;
  CenturyForced& operator=(const CenturyForced&) = delete;

 private:
  bool saved_;
};

std::string RightAligned2(int value) {
  std::string text = std::to_string(value);
  if (text.size() < 2) text.insert(0, 2 - text.size(), ' ');
  return text;
}

}  // namespace

std::string EmptyDateText(int type) { return EmptyMask(TextLayout(type)); }

std::string NationalToAmerican(std::string_view text) {
  std::string_view cut = CutAtNul(text);
  char separator = 0;
  if (cut.find('.') != std::string_view::npos) separator = '.';
  if (cut.find('-') != std::string_view::npos) separator = '-';
  if (cut.find('/') != std::string_view::npos) separator = '/';
  if (separator == 0) return std::string(text);
  Parts parts = SplitParts(cut, separator);
  if (parts.Empty()) return EmptyAmerican();
  // A text missing a part ("1.2" has no year) is not a date: unchanged, as
  // a text without separators.
  if (parts.first.empty() || parts.second.empty() || parts.third.empty()) return std::string(text);
  std::string first = ZeroPadded(parts.first, 2);
  std::string second = ZeroPadded(parts.second, 2);
  std::string third = ZeroPadded(parts.third, 2);
  std::string month, day, year;
  switch (TextLayout(DateType).order) {
    case Order::kMonthDayYear:
      month = first, day = second, year = third;
      break;
    case Order::kYearMonthDay:
      year = first, month = second, day = third;
      break;
    case Order::kDayMonthYear:
      day = first, month = second, year = third;
      break;
  }
  return month + "/" + day + "/" + NormalisedYear(year, CenturyOn);
}

std::string AmericanToNational(std::string_view american) {
  Parts parts = SplitParts(CutAtNul(american), '/');
  if (parts.Empty()) return EmptyDateText(DateType);
  return Arrange(TextLayout(DateType), ZeroPadded(parts.second, 2), ZeroPadded(parts.first, 2),
                 NormalisedYear(parts.third, CenturyOn));
}

bool CheckDateText(std::string& text) {
  std::string american = NationalToAmerican(TrimBoth(text).substr(0, 10));
  if (american == EmptyAmerican()) {
    text = AmericanToNational(american);
    return true;
  }
  CalendarDate date;
  if (!ParseAmerican(american, date)) return false;
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) return false;
  if (date.day == 31 && (date.month == 4 || date.month == 6 || date.month == 9 || date.month == 11))
    return false;
  if (date.month == 2 &&
      (date.day >= 30 || (date.day == 29 && !IsLeapYear(FullYear(american, date.year)))))
    return false;
  // A written-out year 0000 names no day of the calendar.
  if (american.size() == 10 && date.year == 0) return false;
  if (american.size() == 10 && !CenturyOn) american.erase(6, 2);
  text = AmericanToNational(american);
  return true;
}

std::string DateFrom(int year, int month, int day) {
  std::string year_text;
  int full_year = year;
  if (year < 0) {
    year_text = std::to_string(year);
  } else if (year < 100) {
    full_year = CenturyOf(year) + year;
    year_text = CenturyOn ? NumberText(full_year, 4) : NumberText(year, 2);
  } else {
    year_text = NumberText(year, 4);
  }
  bool valid = year >= 0 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
               !(month == 2 && day >= 29 && !IsLeapYear(full_year));
  if (!valid) {
    SetError(220, "[DateFrom(" + year_text + "," + RightAligned2(month) + "," + RightAligned2(day) +
                      ")]");
    return EmptyDateText(DateType);
  }
  DbfErrorNo = 0;
  return AmericanToNational(NumberText(month, 2) + "/" + NumberText(day, 2) + "/" + year_text);
}

std::string DateTextFromDayNumber(DayNumber x) {
  Layout layout = DtocLayout(DateType);
  if (!IsValidDayNumber(x)) return EmptyMask(layout);
  CalendarDate date = YMDFromDayNumber(x);
  return Arrange(layout, NumberText(date.day, 2), NumberText(date.month, 2),
                 CenturyOn ? NumberText(date.year, 4) : NumberText(date.year % 100, 2));
}

DayNumber DayNumberFromDateText(std::string_view text) {
  CenturyForced century;
  std::string american = NationalToAmerican(text.substr(0, 10));
  CalendarDate date;
  if (american.size() != 10 || !ParseAmerican(american, date)) return EmptyDayNumber;
  return DayNumberFromYMD(date.year, date.month, date.day);
}

std::string DTextFromDateText(std::string_view text) {
  std::string american = NationalToAmerican(text.substr(0, 10));
  if (american.size() < 8 || american.size() > 10 || american[2] != '/' || american[5] != '/')
    return std::string(8, ' ');
  for (std::size_t i = 0; i < american.size(); ++i) {
    if (i != 2 && i != 5 && (american[i] < '0' || american[i] > '9')) return std::string(8, ' ');
  }
  return NormalisedYear(american.substr(6), true) + american.substr(0, 2) + american.substr(3, 2);
}

std::string DTextFromDisplayDateText(std::string_view display_text) {
  CenturyForced century;
  std::string american = NationalToAmerican(display_text.substr(0, 10));
  if (american.size() != 10 || american[2] != '/' || american[5] != '/') return std::string(8, ' ');
  std::string d_text = NumberText(DatePartValue(american.substr(6, 4)), 4) +
                       NumberText(DatePartValue(american.substr(0, 2)), 2) +
                       NumberText(DatePartValue(american.substr(3, 2)), 2);
  return d_text == "00000000" ? std::string(8, ' ') : d_text;
}

std::string DateTextFromDText(std::string_view d_text) {
  std::string d(CutAtNul(d_text).substr(0, 8));
  d.resize(8, ' ');
  std::string_view view(d);
  return Arrange(TextLayout(DateType), view.substr(6, 2), view.substr(4, 2),
                 CenturyOn ? view.substr(0, 4) : view.substr(2, 2));
}

int MonthOfDateText(std::string_view text) {
  return DatePartValue(Slice(NationalToAmerican(text), 0, 2));
}

int DayOfDateText(std::string_view text) {
  return DatePartValue(Slice(NationalToAmerican(text), 3, 2));
}

int YearOfDateText(std::string_view text) {
  return DatePartValue(Slice(NationalToAmerican(text), 6, std::string_view::npos));
}

int WeekdayOfDateText(std::string_view text) {
  std::string american = NationalToAmerican(text);
  CalendarDate date;
  if (!ParseAmerican(american, date)) return 0;
  std::int32_t year = FullYear(american, date.year);
  if (!IsValidDayNumber(DayNumberFromYMD(year, date.month, date.day))) return 0;
  return WeekdayFromYMD(year, date.month, date.day);
}

std::string TodayDateText() {
  os::LocalTime now = os::GetLocalTime();
  return DateFrom(CenturyOn ? now.year : now.year % 100, now.month, now.day);
}

}  // namespace orvex
