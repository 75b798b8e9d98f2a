// oxdbf: main, the subcommand registry, common options and the helpers the
// subcommands share.
#include "oxdbf.h"
#include "oxdbf_memo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include "common/errors.h"
#include "common/names.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"

namespace orvex::tool {

namespace {

std::map<std::string, Subcommand>& Registry() {
  static std::map<std::string, Subcommand> registry;
  return registry;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: oxdbf [--oem | --ansi] [--exclusive] <command> ...\n");
  for (const auto& [name, command] : Registry()) std::fprintf(out, "  oxdbf %s %s\n", name.c_str(), command.usage);
}

}  // namespace

bool Invocation::HasFlag(const std::string& flag) const {
  for (const std::string& f : flags) {
    if (f == flag) return true;
  }
  return false;
}

std::string Invocation::FlagValue(const std::string& flag) const {
  for (const std::string& f : flags) {
    if (f.rfind(flag + "=", 0) == 0) return f.substr(flag.size() + 1);
  }
  return "";
}

SubcommandRegistration::SubcommandRegistration(Subcommand command) {
  std::string name = command.name;
  Registry().emplace(name, std::move(command));
}

void Fail(int number, const std::string& detail) {
  SetError(number, os::Utf8ToAnsi(detail));
  // SetError ends the program while AutoReport is on; keep the promise
  // otherwise too.
  std::exit(ExitStatusFor(number));
}

void OpenTable(const Invocation& call, const std::string& file, bool read_only) {
  if (read_only) OpenModeOverride = call.exclusive ? os::kOpenRead : os::kOpenReadDenyNone;
  USE(os::Utf8ToAnsi(file) + (call.exclusive ? " EXCLUSIVE" : ""));
}

long IntegerArgument(const std::string& text, const char* what) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') Fail(220, std::string(what) + " ist keine Zahl: " + text + " [oxdbf]");
  return v;
}

std::string FieldText(int n) {
  const std::uint8_t* p = FieldAddress(n);
  switch (FieldType(n)) {
    case 'C':
      return os::AnsiToUtf8(TrimRight(std::string_view(reinterpret_cast<const char*>(p + 1), p[0])));
    case 'D': {
      std::string d = DTextFromDateText(std::string_view(reinterpret_cast<const char*>(p + 1), p[0]));
      return d == "        " ? std::string() : d;
    }
    case 'L':
      return *p ? "T" : "F";
    case 'M':
      return MemoFieldText(n);
    case 'N':
    case 'F':
      if (FieldDec(n) > 0) {
        char text[400];
        std::snprintf(text, sizeof text, "%.*f", FieldDec(n), RealToDouble(p));
        return text;
      }
      [[fallthrough]];
    default: {  // N/F without decimals
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return std::to_string(v);
    }
  }
}

bool SetFieldText(int n, const std::string& value) {
  std::uint8_t* p = FieldAddress(n);
  std::string text = os::Utf8ToAnsi(value);
  switch (FieldType(n)) {
    case 'C': {
      std::size_t len = std::min<std::size_t>(text.size(), static_cast<std::size_t>(FieldLen(n)));
      p[0] = static_cast<std::uint8_t>(len);
      std::memcpy(p + 1, text.data(), len);
      return true;
    }
    case 'D': {
      // YYYYMMDD as stored, or a date text of the current date type.
      bool digits = text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos;
      std::string date = text.empty() ? std::string() : digits ? DateTextFromDText(text) : text;
      if (!date.empty() && !CheckDateText(date)) return false;
      p[0] = static_cast<std::uint8_t>(std::min<std::size_t>(date.size(), 10));
      std::memcpy(p + 1, date.data(), p[0]);
      return true;
    }
    case 'L': {
      std::string upper = os::CharUpperString(text);
      if (upper == "T" || upper == "Y" || upper == "TRUE" || upper == "J") {
        *p = 1;
      } else if (upper == "F" || upper == "N" || upper == "FALSE" || upper.empty()) {
        *p = 0;
      } else {
        return false;
      }
      return true;
    }
    case 'M':
      return SetMemoFieldText(n, value);
    default: {
      char* end = nullptr;
      double v = std::strtod(text.c_str(), &end);
      if (*end != '\0') return false;
      if ((FieldType(n) == 'N' || FieldType(n) == 'F') && FieldDec(n) > 0) {
        DoubleToReal(v, p);
      } else {
        if (v < -2147483648.0 || v > 2147483647.0) return false;
        std::int32_t i = static_cast<std::int32_t>(v);
        std::memcpy(p, &i, 4);
      }
      return true;
    }
  }
}

}  // namespace orvex::tool

int main(int argc, char** argv) {
  using namespace orvex;
  using namespace orvex::tool;
  // Messages go to stderr as UTF-8; dates keep their four-digit years.
  os::SetMessageBoxHook([](const std::string& text, const std::string&, bool) {
    std::fprintf(stderr, "%s\n", os::AnsiToUtf8(text).c_str());
    std::fflush(stderr);
  });
  CenturyOn = true;
  SetDateType(DateType);

  Invocation call;
  std::string name;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      // After a command: that command's usage; else the whole list.
      auto command = Registry().find(name);
      if (command == Registry().end()) {
        PrintUsage(stdout);
      } else {
        std::printf("usage: oxdbf %s %s\n", name.c_str(), command->second.usage);
      }
      return 0;
    }
    if (arg == "--oem") {
      AnsiTables = false;
    } else if (arg == "--ansi") {
      AnsiTables = true;
    } else if (arg == "--exclusive") {
      call.exclusive = true;
    } else if (arg.rfind("--", 0) == 0) {
      call.flags.push_back(arg);
    } else if (name.empty()) {
      name = arg;
    } else {
      call.args.push_back(arg);
    }
  }
  if (name.empty()) {
    PrintUsage(stderr);
    Fail(220, "Kein Befehl angegeben [oxdbf]");
  }
  auto found = Registry().find(name);
  if (found == Registry().end()) Fail(220, "Unbekannter Befehl: " + name + " [oxdbf]");
  for (const std::string& flag : call.flags) {
    const auto& accepted = found->second.flags;
    std::size_t eq = flag.find('=');
    std::string declared = eq == std::string::npos ? flag : flag.substr(0, eq + 1);
    if (std::find(accepted.begin(), accepted.end(), declared) == accepted.end()) {
      Fail(220, "Unbekannte Option " + flag + " für " + name + " [oxdbf]");
    }
  }
  int status = found->second.run(call);
  CloseAllAreas();  // a failure to write back is reported like any other
  return status;
}
