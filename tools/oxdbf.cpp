// oxdbf: main, the subcommand registry, common options and the helpers the
// subcommands share.
#include "oxdbf.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "common/errors.h"
#include "dates/date_settings.h"
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

namespace {
bool text_is_oem = true;  // as the options said before any table was opened
}  // namespace

void OpenTable(const Invocation& call, const std::string& file, bool read_only) {
  text_is_oem = !AnsiTables;
  if (read_only) OpenModeOverride = call.exclusive ? os::kOpenRead : os::kOpenReadDenyNone;
  USE(os::Utf8ToAnsi(file) + (call.exclusive ? " EXCLUSIVE" : ""));
}

void OpenTableAsStored(const Invocation& call, const std::string& file, bool read_only) {
  text_is_oem = !AnsiTables;
  bool ansi = AnsiTables;
  AnsiTables = true;  // no conversion by the library
  if (read_only) OpenModeOverride = call.exclusive ? os::kOpenRead : os::kOpenReadDenyNone;
  USE(os::Utf8ToAnsi(file) + (call.exclusive ? " EXCLUSIVE" : ""));
  AnsiTables = ansi;
}

bool TextIsOem() { return text_is_oem; }

std::string StoredToUtf8(std::string_view stored) {
  return text_is_oem ? os::Cp850ToUtf8(stored) : os::AnsiToUtf8(stored);
}

bool Utf8ToStored(const std::string& utf8, std::string* stored) {
  return os::Utf8ToCodePage(utf8, text_is_oem, stored);
}

long IntegerArgument(const std::string& text, const char* what) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') Fail(220, std::string(what) + " ist keine Zahl: " + text + " [oxdbf]");
  return v;
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
