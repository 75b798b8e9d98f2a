#include "dates/date_names.h"

#include <array>

#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "platform/os/codepage.h"

namespace orvex {
namespace {

// The names as written, in UTF-8; converted once to their OEM code page.
struct NameSource {
  int day_width;
  int month_width;
  bool cyrillic;  // code page 866 instead of 850
  std::array<const char*, 7> days;
  std::array<const char*, 12> months;
};

enum Language { kEnglish, kItalian, kFrench, kGerman, kSpanish, kRussian, kLanguageCount };

const NameSource kSources[kLanguageCount] = {
    {9,
     9,
     false,
     {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
     {"January", "February", "March", "April", "May", "June", "July", "August", "September",
      "October", "November", "December"}},
    {9,
     9,
     false,
     {"Domenica", "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato"},
     {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto", "Settembre",
      "Ottobre", "Novembre", "Dicembre"}},
    {8,
     9,
     false,
     {"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"},
     {"Janvier", "Février", "Mars", "Avril", "Mai", "Juin", "Juillet", "Août", "Septembre",
      "Octobre", "Novembre", "Décembre"}},
    {10,
     9,
     false,
     {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
     {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
      "November", "Dezember"}},
    {9,
     10,
     false,
     {"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"},
     {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre",
      "Octubre", "Noviembre", "Diciembre"}},
    {11,
     8,
     true,
     {"Воскресенье", "Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"},
     {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь",
      "Ноябрь", "Декабрь"}},
};

struct NameTable {
  std::array<std::string, 7> days;
  std::array<std::string, 12> months;
};

std::string OemPadded(const char* utf8, bool cyrillic, int width) {
  std::string name = cyrillic ? os::Utf8ToCp866(utf8) : os::Utf8ToCp850(utf8);
  name.resize(static_cast<std::size_t>(width), ' ');
  return name;
}

const NameTable& TableOf(Language language) {
  static const std::array<NameTable, kLanguageCount> tables = [] {
    std::array<NameTable, kLanguageCount> built;
    for (int l = 0; l < kLanguageCount; ++l) {
      const NameSource& source = kSources[l];
      for (int i = 0; i < 7; ++i)
        built[l].days[i] = OemPadded(source.days[i], source.cyrillic, source.day_width);
      for (int i = 0; i < 12; ++i)
        built[l].months[i] = OemPadded(source.months[i], source.cyrillic, source.month_width);
    }
    return built;
  }();
  return tables[language];
}

Language LanguageOf(int type) {
  switch (type) {
    case 3:
      return kItalian;
    case 4:
    case 7:
      return kFrench;
    case 5:
      return kGerman;
    case 6:
      return kSpanish;
    case 8:
      return kRussian;
    default:
      return kEnglish;
  }
}

}  // namespace

std::string DayNameOf(int weekday) {
  if (weekday < 1 || weekday > 7) return std::string(10, ' ');
  return TableOf(LanguageOf(DateType)).days[weekday - 1];
}

std::string MonthNameOf(int month) {
  if (month < 1 || month > 12) return std::string(9, ' ');
  return TableOf(LanguageOf(DateType)).months[month - 1];
}

std::string DayName(std::string_view text) { return DayNameOf(WeekdayOfDateText(text)); }

std::string MonthName(std::string_view text) { return MonthNameOf(MonthOfDateText(text)); }

}  // namespace orvex
