// Reads through a shared mapping against read calls: the same bytes and the
// same ends, another process's writes, appends and cuts, fault injection,
// handle numbers used again, and SIGBUS handlers of the program kept.
#include "platform/os/mapped_reads.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/os/fault_injection.h"
#include "support/test_support.h"

namespace orvex::os {
namespace {

using test::ChildProcess;
using test::TempDir;
using test::WriteFileBytes;

// What a read gives: error, bytes.
struct Read {
  int error = -1;
  std::string bytes;
  bool operator==(const Read&) const = default;
};

Read Mapped(MappedReader& reader, Handle h, std::int64_t offset, std::size_t count) {
  std::string buffer(count, '?');
  std::size_t done = 0;
  Read r;
  r.error = reader.ReadAt(h, offset, buffer.data(), count, &done);
  r.bytes = buffer.substr(0, done);
  return r;
}

Read Plain(Handle h, std::int64_t offset, std::size_t count) {
  std::string buffer(count, '?');
  std::size_t done = 0;
  Read r;
  r.error = ReadAt(h, offset, buffer.data(), count, &done);
  r.bytes = buffer.substr(0, done);
  return r;
}

Handle Open(const std::string& path) {
  int error = 0;
  Handle h = OpenFile(path, kOpenReadWriteDenyNone, &error);
  EXPECT_NE(h, kNoHandle) << error;
  return h;
}

// 10,000 bytes with runs of zero bytes in them, and zeros at the end, as
// records whose last fields hold binary zeros have.
std::string Pattern() {
  std::string bytes(10000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = (i / 13) % 3 == 0 ? '\0' : static_cast<char>('a' + i % 26);
  }
  bytes[9999] = bytes[9998] = '\0';
  return bytes;
}

TEST(MappedReads, GiveWhatAReadCallGivesUpToAndBeyondTheEnd) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, Pattern());
  Handle h = Open(path);
  MappedReader reader;
  for (std::int64_t offset :
       {0, 1, 12, 13, 38, 39, 4090, 4096, 9980, 9990, 9995, 9999, 10000, 10005}) {
    for (std::size_t count : {1, 2, 13, 14, 26, 107}) {
      EXPECT_EQ(Mapped(reader, h, offset, count), Plain(h, offset, count))
          << "offset " << offset << " count " << count;
    }
  }
  CloseFile(h);
}

// The other program writes, appends far beyond the first mapping and cuts
// the file at a page boundary and inside a page; every read answers as a
// read call does, and nothing crashes.
TEST(MappedReads, SeeAnotherProgramsWritesAppendsAndCuts) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, Pattern());
  ChildProcess other({test::BuildProgram("tests/os/os_lock_helper")});
  const auto ask = [&](const std::string& line) {
    other.WriteLine(line);
    return other.ReadLine();
  };
  ASSERT_EQ(ask("open " + path + " 66"), "ok");
  Handle h = Open(path);
  MappedReader reader;
  ASSERT_EQ(Mapped(reader, h, 100, 7).error, 0);

  ASSERT_EQ(ask("write 100 CHANGED"), "ok");
  EXPECT_EQ(Mapped(reader, h, 100, 7), (Read{0, "CHANGED"}));
  const std::int64_t far = 3 << 20;
  ASSERT_EQ(ask("write " + std::to_string(far) + " APPENDED"), "ok");
  EXPECT_EQ(Mapped(reader, h, far, 8), (Read{0, "APPENDED"}));
  EXPECT_EQ(Mapped(reader, h, far + 4, 8), (Read{0, "NDED"}));

  ASSERT_EQ(ask("truncate 8192"), "ok");
  const std::int64_t behind_the_cut[] = {8180, 8192, 9000, 12288, far};
  for (std::int64_t offset : behind_the_cut) {
    EXPECT_EQ(Mapped(reader, h, offset, 20), Plain(h, offset, 20)) << offset;
  }
  ASSERT_EQ(ask("truncate 3000"), "ok");
  for (std::int64_t offset : {2990, 2999, 3000, 3500, 5000}) {
    EXPECT_EQ(Mapped(reader, h, offset, 20), Plain(h, offset, 20)) << offset;
  }
  EXPECT_EQ(Mapped(reader, h, 3500, 20), (Read{0, ""}));
  EXPECT_EQ(Mapped(reader, h, 5000, 20), (Read{0, ""}));
  EXPECT_EQ(Mapped(reader, h, 100, 7), (Read{0, "CHANGED"}));
  CloseFile(h);
}

TEST(MappedReads, FailWhereAnInjectedFaultFailsAReadCall) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, Pattern());
  Handle h = Open(path);
  MappedReader reader;
  FaultPlan plan;
  plan.ops = kFaultRead;
  plan.fail_at = 2;
  plan.error = EIO;
  ArmFaults(plan);
  EXPECT_EQ(Mapped(reader, h, 20, 10).error, 0);
  std::string buffer(10, '?');
  std::size_t done = 99;
  EXPECT_EQ(reader.ReadAt(h, 20, buffer.data(), 10, &done), ErrnoToWin32(EIO));
  EXPECT_EQ(buffer, std::string(10, '?'));  // untouched, as by a failed read call
  EXPECT_EQ(Mapped(reader, h, 20, 10).error, 0);
  EXPECT_EQ(DisarmFaults(), 3);

  plan.fail_at = 1;
  plan.action = FaultAction::kPartial;
  ArmFaults(plan);
  EXPECT_EQ(Mapped(reader, h, 20, 10), (Read{0, Pattern().substr(20, 5)}));
  DisarmFaults();
  CloseFile(h);
}

// A handle number the layer gives out again after a close names another
// file: the reader does not read it through the old file's mapping.
TEST(MappedReads, AHandleNumberGivenOutAgainReadsTheNewFile) {
  TempDir dir;
  WriteFileBytes(dir.File("a.dbf"), std::string(5000, 'a'));
  WriteFileBytes(dir.File("b.dbf"), std::string(5000, 'b'));
  MappedReader reader;
  Handle a = Open(dir.File("a.dbf"));
  EXPECT_EQ(Mapped(reader, a, 10, 3), (Read{0, "aaa"}));
  CloseFile(a);
  Handle b = Open(dir.File("b.dbf"));
  ASSERT_EQ(b, a);  // the number is given out again
  EXPECT_EQ(Mapped(reader, b, 10, 3), (Read{0, "bbb"}));
  CloseFile(b);
}

// The mapping outlives the handle until the next read, but the handle's
// share mode and locks go when it is closed.
TEST(MappedReads, AClosedHandleLeavesNoLockBehindInTheMapping) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, Pattern());
  MappedReader reader;
  Handle h = Open(path);
  ASSERT_EQ(LockFile(h, 100, 1), 0);
  ASSERT_EQ(Mapped(reader, h, 20, 10).error, 0);
  CloseFile(h);
  int error = 0;
  Handle only = OpenFile(path, kOpenReadWriteExclusive, &error);
  ASSERT_NE(only, kNoHandle) << error;
  EXPECT_EQ(LockFile(only, 100, 1), 0);
  CloseFile(only);
}

// A SIGBUS outside the reader's copies (here: the program's own mapping of a
// file cut short) still reaches the handler the program had installed.
TEST(MappedReads, ASigbusElsewhereReachesTheProgramsOwnHandler) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, std::string(8192, 'x'));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct sigaction own {};
    own.sa_handler = [](int) { _exit(42); };
    sigaction(SIGBUS, &own, nullptr);
    Handle h = Open(path);
    MappedReader reader;
    char byte = 0;
    std::size_t done = 0;
    if (reader.ReadAt(h, 0, &byte, 1, &done) != 0 || done != 1) _exit(1);
    void* mine = mmap(nullptr, 8192, PROT_READ, MAP_SHARED, h, 0);
    if (mine == MAP_FAILED || Truncate(h, 0) != 0) _exit(2);
    const volatile char* p = static_cast<const volatile char*>(mine);
    _exit(p[4096] == 'x' ? 3 : 4);  // the read faults
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 42);
}

}  // namespace
}  // namespace orvex::os
