// The second program of the multi-process memo tests. One command per run:
//   lock <memo file>          holds the memo write lock (byte 10): prints
//                             "locked", releases it at the next input line
//   pack <table> <limit>      packs the table's memo file with the process's
//                             file-size limit at <limit> bytes (writes beyond
//                             it fail), prints "error <n>"
//   write <table> <first> <step> <rounds> <tag>
//                             opens the table shared, prints "ready", waits
//                             for an input line and then, <rounds> times, for
//                             records first, first+step, ... up to the record
//                             count: RLock, store the text "<tag> <record>
//                             <round>" (longer each round) as the record's
//                             memo (again while the memo lock refuses it),
//                             Replace, Unlock; prints "done <from> <to>",
//                             the microseconds of the system's monotonic
//                             clock when it began and ended writing (so a
//                             test can tell that two writers ran at the same
//                             time), or "error <n> <detail>" at the first
//                             failure
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "common/errors.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "memo/memo_pad.h"
#include "memo/memo_store.h"
#include "platform/os/files.h"

namespace {

using namespace orvex;

int Lock(const std::string& memo_file) {
  int error = 0;
  const os::Handle file = os::OpenFile(memo_file, os::kOpenReadWriteDenyNone, &error);
  if (file == os::kNoHandle || os::LockFile(file, 10, 1) != 0) {
    std::cout << "error " << error << std::endl;
    return 1;
  }
  std::cout << "locked" << std::endl;
  std::string line;
  std::getline(std::cin, line);
  return 0;
}

int Pack(const std::string& table, long limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit rl{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
  setrlimit(RLIMIT_FSIZE, &rl);
  USE(table + " EXCLUSIVE");
  if (DbfErrorNo == 0) PackMemofile();
  std::cout << "error " << DbfErrorNo << std::endl;
  return 0;
}

// Microseconds of the monotonic clock, which all processes share.
long long MonotonicMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The memo text of a record in a round: grows with the round so that
// rewritten dBASE IV memos move to the end of the file now and then.
std::string MemoTextFor(const std::string& tag, int record, int round) {
  std::string text = tag + " " + std::to_string(record) + " " + std::to_string(round);
  return text + std::string(static_cast<std::size_t>(round) * 97 % 1300, '.');
}

int Write(const std::string& table, int first, int step, int rounds, const std::string& tag) {
  USE(table);
  std::cout << "ready" << std::endl;
  std::string go;
  std::getline(std::cin, go);
  const auto began = MonotonicMicroseconds();
  std::string failure;
  for (int round = 0; round < rounds && failure.empty(); ++round) {
    for (int record = first; record <= RecCount() && failure.empty(); record += step) {
      GO(record);
      if (DbfErrorNo != 0) break;
      while (!RLock()) {
      }
      std::int32_t block = 0;
      std::memcpy(&block, FieldAddress(2), 4);
      // A write the memo lock refused (the other writer held it for long)
      // is tried again, as an application does after "Memo-Datei nicht
      // sperrbar".
      std::int32_t written = 0;
      do {
        FillMemoPad(MemoTextFor(tag, record, round), 0);
        written = EditMemoCloseMemo(block);
      } while (DbfErrorNo == 1017);
      if (DbfErrorNo == 0) {
        std::memcpy(FieldAddress(2), &written, 4);
        Replace();
      }
      if (DbfErrorNo != 0) failure = std::to_string(DbfErrorNo) + " " + ErrorDetail;
      Unlock();
      // A moment between two records, as a program that does more than
      // write memos has, lets the other writer get the memo lock.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (DbfErrorNo != 0 && failure.empty()) failure = std::to_string(DbfErrorNo) + " " + ErrorDetail;
  if (!failure.empty()) {
    std::cout << "error " << failure << std::endl;
  } else {
    std::cout << "done " << began << " " << MonotonicMicroseconds() << std::endl;
  }
  CloseAllAreas();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SetAutoReport(false);
  InstallMemoStore();
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "lock" && argc == 3) return Lock(argv[2]);
  if (command == "pack" && argc == 4) return Pack(argv[2], std::stol(argv[3]));
  if (command == "write" && argc == 7) {
    return Write(argv[2], std::stoi(argv[3]), std::stoi(argv[4]), std::stoi(argv[5]), argv[6]);
  }
  std::cerr << "usage: memo_helper lock|pack|write ..." << std::endl;
  return 2;
}
