// The second program of the multi-process index tests. Opens nothing by
// itself; reads one command per line from stdin and answers one line:
//   open <table>      USE shared + SetIndexTo: "opened" or "error <n> <detail>"
//   read / unread     enter / leave the read bracket: "ok" or "error ..."
//   lock / unlock     enter / leave the lock bracket: "ok" or "error ..."
//   find <text>       Find on the active tag: "found <recno>" or "notfound"
//   timeout <ticks>   sets the writer's timeout in ticks of 1/18.2 s: "ok"
//   crash             ends the process at once, leaving files as they are
//   close             closes every table: "ok"
#include <unistd.h>

#include <iostream>
#include <string>

#include "common/errors.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "engine/record_io.h"
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
    } else if (command == "crash") {
      _exit(0);
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
