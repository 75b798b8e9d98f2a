// The second program of the multi-process index tests. Opens nothing by
// itself; reads one command per line from stdin and answers one line:
//   open <table>      USE shared + SetIndexTo: "opened" or "error <n> <detail>"
//   read / unread     enter / leave the read bracket: "ok" or "error ..."
//   lock / unlock     enter / leave the lock bracket: "ok" or "error ..."
//   find <text>       Find on the active tag: "found <recno>" or "notfound"
//   timeout <ticks>   sets the writer's timeout in ticks of 1/18.2 s: "ok"
//   appends <n> <p>   appends n records under ALock, field 1 = p and the
//                     number (zero-padded to 5 places): "ok" or "error ..."
//   walk              GoTop and SKIP through the active tag: "walk" and the
//                     record numbers met, blank-separated
//   edits <n> <seed>  n edits of field 1 of random records to random texts,
//                     each under RLock: "ok" or "error ..."
//   crash             ends the process at once, leaving files as they are
//   kill              the process kills itself with SIGKILL
//   close             closes every table: "ok"
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <random>
#include <string>

#include "common/errors.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/semaphore.h"

namespace {

using namespace orvex;

void Answer(const std::string& ok) {
  if (DbfErrorNo != 0) {
    std::cout << "error " << DbfErrorNo << " " << ErrorDetail << std::endl;
  } else {
    std::cout << ok << std::endl;
  }
  DbfErrorNo = 0;
}

// Puts `text` into field 1 (C) of the record buffer.
void PutName(const std::string& text) {
  std::uint8_t* field = FieldAddress(1);
  field[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), field + 1);
}

}  // namespace

int main() {
  SetAutoReport(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::string command = line.substr(0, line.find(' '));
    std::string argument = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    DbfErrorNo = 0;
    if (command == "open") {
      Select(1);
      USE(argument);
      if (DbfErrorNo == 0) SetIndexTo("");
      Answer("opened");
    } else if (command == "read" || command == "unread") {
      SetReadSemaphoreProc(1, command == "read");
      Answer("ok");
    } else if (command == "lock" || command == "unlock") {
      SetLockSemaphoreProc(1, command == "lock");
      Answer("ok");
    } else if (command == "find") {
      bool found = Find(argument);
      Answer(found ? "found " + std::to_string(RecNo()) : "notfound");
    } else if (command == "timeout") {
      SemaphoreTimeoutTicks = static_cast<std::uint16_t>(std::stoi(argument));
      Answer("ok");
    } else if (command == "appends") {
      int count = std::stoi(argument.substr(0, argument.find(' ')));
      std::string prefix = argument.substr(argument.find(' ') + 1);
      LockRetries = 1000000;
      for (int i = 0; i < count && DbfErrorNo == 0; ++i) {
        if (!ALock()) break;
        std::string text = std::to_string(i);
        text = prefix + std::string(5 - text.size(), '0') + text;
        PutName(text);
        Append();
        Unlock();
      }
      Answer("ok");
    } else if (command == "walk") {
      std::string records = "walk";
      GoTop();
      while (!dEOF() && DbfErrorNo == 0) {
        records += " " + std::to_string(RecNo());
        SKIP(1);
      }
      Answer(records);
    } else if (command == "edits") {
      int count = std::stoi(argument.substr(0, argument.find(' ')));
      std::mt19937 rng(static_cast<unsigned>(std::stoul(argument.substr(argument.find(' ') + 1))));
      LockRetries = 1000000;
      for (int i = 0; i < count && DbfErrorNo == 0; ++i) {
        GO(static_cast<std::int32_t>(rng() % static_cast<unsigned>(RecCount())) + 1);
        if (!RLock()) break;
        PutName(std::to_string(rng() % 100000));
        Replace();
        Unlock();
      }
      Answer("ok");
    } else if (command == "crash") {
      _exit(0);
    } else if (command == "kill") {
      kill(getpid(), SIGKILL);
    } else if (command == "close") {
      CloseAllAreas();
      Answer("ok");
    } else {
      std::cout << "unknown " << command << std::endl;
    }
  }
  CloseAllAreas();
  return 0;
}
