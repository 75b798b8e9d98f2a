// oxdbf: the command line, the subcommand registry, common options and the helpers the
// subcommands share.
#include "oxdbf.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "platform/os/codepage.h"
#include "platform/os/display_text.h"
#include "platform/os/system.h"
#include "platform/os/table_code_pages.h"

namespace orvex::tool {

// The English meaning of a library error number (oxdbf_english.cpp).
std::string EnglishErrorText(int number);

namespace {

constexpr const char* kVersion = "oxdbf 1.0 (Orvex)";

std::map<std::string, Subcommand>& Registry() {
  static std::map<std::string, Subcommand> registry;
  return registry;
}

const char* kCommonOptions =
    "Options for every command:\n"
    "  --codepage N    read and write the table's text as code page N (437, 850, 852,\n"
    "                  866, 1250, 1251, 1252, 936, ...); default: the code page named\n"
    "                  by the table's language-driver byte, else 850\n"
    "  --oem, --ansi   short for --codepage 850 and --codepage 1252\n"
    "  --exclusive     open the table for this program alone\n"
    "  --help          this text; --version the program's version\n"
    "Options may stand anywhere, as --opt=value or --opt value; -- ends them.\n"
    "Exit status: 0 success, 1 nothing found or incomplete, 2 usage error,\n"
    "otherwise the library's error number.\n";

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: oxdbf [options] <command> ...\n");
  for (const auto& [name, command] : Registry()) std::fprintf(out, "  oxdbf %s %s\n", name.c_str(), command.usage);
  std::fprintf(out, "'oxdbf COMMAND --help' explains a command.\n%s", kCommonOptions);
}

void PrintCommandHelp(const std::string& name, const Subcommand& command) {
  std::printf("usage: oxdbf %s %s\n", name.c_str(), command.usage);
  if (command.help[0] != '\0') std::printf("\n%s", command.help);
  std::printf("\n%s", kCommonOptions);
}

std::string current_command;  // for the hint of a usage error

// The user's messages are German when LC_ALL, LC_MESSAGES or LANG (the
// first one set) names a German locale.
bool GermanUser() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return std::strncmp(value, "de", 2) == 0;
  }
  return false;
}

// Ends the program when stdout could not take what was written.
void CheckStdout() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::clearerr(stdout);
    Fail(101, std::string("Schreiben auf die Standardausgabe fehlgeschlagen: ") + std::strerror(errno) + " [oxdbf]");
  }
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

void UsageError(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "oxdbf: %s\n", text.c_str());
  if (current_command.empty()) {
    std::fprintf(stderr, "Try 'oxdbf --help'.\n");
  } else {
    std::fprintf(stderr, "Try 'oxdbf %s --help'.\n", current_command.c_str());
  }
  std::exit(2);
}

void ExpectArguments(const Invocation& call, std::size_t least, std::size_t most) {
  if (call.args.size() < least) UsageError("missing argument");
  if (call.args.size() > most) UsageError("too many arguments: " + call.args[most]);
}

void Fail(int number, const std::string& detail) {
  SetError(number, os::Utf8ToAnsi(detail));
  // SetError ends the program while AutoReport is on; keep the promise
  // otherwise too.
  std::exit(ExitStatusFor(number));
}

long IntegerArgument(const std::string& text, const char* what) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0) UsageError(std::string(what) + " is not a number: " + text);
  return v;
}

std::int32_t RecordArgument(const std::string& text, const char* what) {
  const long n = IntegerArgument(text, what);
  const std::int32_t count = RecCount();
  if (count <= 0)
    UsageError(std::string(what) + " " + text + " is out of range: the table has no records");
  if (n < 1 || n > count) {
    UsageError(std::string(what) + " " + text + " is out of range: the table has records 1 to " +
               std::to_string(count));
  }
  return static_cast<std::int32_t>(n);
}

}  // namespace orvex::tool

int orvex::tool::Run(int argc, char** argv) {
  using namespace orvex;
  using namespace orvex::tool;
  // Messages go to stderr as UTF-8; a user who does not read German gets
  // the English meaning of the error number on the next line.
  static const bool german = GermanUser();
  os::SetMessageBoxHook([](const std::string& text, const std::string&, bool) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", os::DisplayText(text).c_str());
    if (!german && DbfErrorNo != 0) {
      std::fprintf(stderr, "(Error %d: %s)\n", DbfErrorNo, EnglishErrorText(DbfErrorNo).c_str());
    }
    std::fflush(stderr);
  });
  // Dates keep their four-digit years.
  CenturyOn = true;
  SetDateType(DateType);

  Invocation call;
  std::string name;
  bool help = false, version = false, options_ended = false;
  std::vector<std::string> positional;
  // Whether an option takes a value: declared with '=' by the command named
  // so far, or by any command while none is named yet.
  auto takes_value = [&](const std::string& option) {
    if (option == "--codepage") return true;
    for (const auto& [command_name, command] : Registry()) {
      if (!name.empty() && command_name != name) continue;
      for (const std::string& f : command.flags) {
        if (f == option + "=") return true;
      }
    }
    return false;
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool option = !options_ended && arg.size() > 1 && arg[0] == '-' && (arg[1] == '-' || arg == "-h");
    if (!option) {
      (name.empty() ? name : positional.emplace_back()) = arg;
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::size_t eq = arg.find('=');
    std::string key = arg.substr(0, eq), value;
    bool has_value = eq != std::string::npos;
    if (has_value) value = arg.substr(eq + 1);
    if (!has_value && takes_value(key)) {
      if (i + 1 >= argc) UsageError("option " + key + " needs a value");
      value = argv[++i];
      has_value = true;
    }
    if (key == "--help" || key == "-h") {
      help = true;
    } else if (key == "--version") {
      version = true;
    } else if (key == "--oem" && !has_value) {
      call.codepage = 850;
    } else if (key == "--ansi" && !has_value) {
      call.codepage = 1252;
    } else if (key == "--exclusive" && !has_value) {
      call.exclusive = true;
    } else if (key == "--codepage") {
      long n = IntegerArgument(value, "--codepage");
      if (n <= 0 || n > 65535 || !os::CodePageSupported(static_cast<int>(n))) UsageError("unknown code page: " + value);
      call.codepage = static_cast<int>(n);
    } else {
      call.flags.push_back(has_value ? key + "=" + value : key);
    }
  }
  if (version) {
    std::printf("%s\n", kVersion);
    CheckStdout();
    return 0;
  }
  if (name == "help") {
    help = true;
    name = positional.empty() ? "" : positional[0];
  }
  auto found = Registry().find(name);
  if (help) {
    if (found == Registry().end()) {
      if (!name.empty()) UsageError("unknown command: " + name);
      PrintUsage(stdout);
    } else {
      PrintCommandHelp(name, found->second);
    }
    CheckStdout();
    return 0;
  }
  if (name.empty()) {
    PrintUsage(stderr);
    UsageError("no command given");
  }
  if (found == Registry().end()) UsageError("unknown command: " + name);
  current_command = name;
  call.args = positional;
  for (const std::string& flag : call.flags) {
    const auto& accepted = found->second.flags;
    std::size_t eq = flag.find('=');
    std::string declared = eq == std::string::npos ? flag : flag.substr(0, eq + 1);
    if (std::find(accepted.begin(), accepted.end(), declared) == accepted.end()) {
      UsageError("unknown option " + flag + " for " + name);
    }
  }
  int status = found->second.run(call);
  CheckStdout();
  CloseAllAreas();  // a failure to write back is reported like any other
  return status;
}
