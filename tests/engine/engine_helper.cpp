// The second program of the engine's multi-process tests. It opens a table
// through the engine and answers one command per line from stdin:
//   use <path> [exclusive]   -> ok | err <n>
//   go <n> | skip <n> | skip0 | gobottom   -> <recno> <first field, trimmed> [eof]
//   rlock | alock            -> yes | no
//   unlock                   -> ok
//   append <text>            -> ok | err <n>     (under the held locks)
//   replace <text>           -> ok | err <n>
//   reccount                 -> <count>
//   stress <count> <tag>     -> ok | err <n>: <count> appends of "<tag><i>",
//                               each under its own ALock, waiting for it
//   peek <field> <record>    -> [<stored bytes>]   (through the Peek cache
//                               when cache <limit> set one)
//   poke <text> <field> <record>   -> ok | err <n>
//   cache <limit>            -> ok   (sets PeekCacheLimit)
//   cut <path> <size>        -> ok | err <n>: cuts the file to <size> bytes
//                               through a handle of its own
//   close | exit
// Errors are raised as exceptions and answered, never shown.
#include <iostream>
#include <sstream>
#include <string>

#include "common/errors.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "platform/os/files.h"

namespace {

using namespace orvex;

std::string Position() {
  const std::uint8_t* p = FieldAddress(1);
  std::string text(reinterpret_cast<const char*>(p + 1), p[0]);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return std::to_string(RecNo()) + " " + text + (dEOF() ? " eof" : "");
}

void SetFirstField(const std::string& text) {
  std::uint8_t* p = FieldAddress(1);
  std::string t = text.substr(0, p[0] == 0 ? 0 : FieldLen(1));
  p[0] = static_cast<std::uint8_t>(t.size());
  std::copy(t.begin(), t.end(), p + 1);
}

std::string Run(const std::string& command, std::istringstream& in) {
  if (command == "use") {
    std::string path, option;
    in >> path >> option;
    USE(path + (option == "exclusive" ? " EXCLUSIVE" : ""));
    return "ok";
  }
  if (command == "go" || command == "skip") {
    int n = 0;
    in >> n;
    command == "go" ? GO(n) : SKIP(n);
    return Position();
  }
  if (command == "skip0") return SKIP(0), Position();
  if (command == "gobottom") return GoBottom(), Position();
  if (command == "rlock") return RLock() ? "yes" : "no";
  if (command == "alock") return ALock() ? "yes" : "no";
  if (command == "unlock") return Unlock(), "ok";
  if (command == "reccount") return std::to_string(RecCount());
  if (command == "append" || command == "replace") {
    std::string text;
    in >> text;
    SetFirstField(text);
    command == "append" ? Append() : Replace();
    return "ok";
  }
  if (command == "stress") {
    int count = 0;
    std::string tag;
    in >> count >> tag;
    LockRetries = 1000000;
    for (int i = 0; i < count; ++i) {
      if (!ALock()) return "err lock";
      SetFirstField(tag + std::to_string(i));
      Append();
      Unlock();
    }
    return "ok";
  }
  if (command == "cache") return in >> PeekCacheLimit, "ok";
  if (command == "peek") {
    int field = 0, record = 0;
    in >> field >> record;
    return "[" + Peek(field, record) + "]";
  }
  if (command == "poke") {
    std::string text;
    int field = 0, record = 0;
    in >> text >> field >> record;
    return Poke(text, field, record), "ok";
  }
  if (command == "cut") {
    std::string path;
    std::int64_t size = 0;
    in >> path >> size;
    int err = 0;
    const os::Handle h = os::OpenFile(path, os::kOpenReadWriteDenyNone, &err);
    if (h == os::kNoHandle) return "err " + std::to_string(err);
    err = os::Truncate(h, size);
    os::CloseFile(h);
    return err == 0 ? "ok" : "err " + std::to_string(err);
  }
  if (command == "close") return USE(""), "ok";
  return "err unknown";
}

}  // namespace

int main() {
  SetRaiseOnError(true);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "exit") break;
    std::string answer;
    try {
      answer = Run(command, in);
    } catch (const EOrvexError&) {
      answer = "err " + std::to_string(DbfErrorNo);
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
