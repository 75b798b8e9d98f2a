// Several programs on one memo file: two processes rewriting memos of the
// same shared table at once, each under its record locks, lose and corrupt
// nothing; a writer that cannot get the memo lock reports 1017.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "memo_test_support.h"

namespace orvex::test {
namespace {

class SharedMemoTest : public MemoTest, public ::testing::WithParamInterface<int> {};

// The text memo_helper's "write" command stores for a record in a round.
std::string HelperText(const std::string& tag, int record, int round) {
  std::string text = tag + " " + std::to_string(record) + " " + std::to_string(round);
  return text + std::string(static_cast<std::size_t>(round) * 97 % 1300, '.');
}

TEST_P(SharedMemoTest, TwoWritersAtOnceLoseAndCorruptNoMemo) {
  const auto kind = static_cast<std::uint8_t>(GetParam());
  constexpr int kRecords = 30;
  constexpr int kRounds = 20;
  CreateAndUse("shared", kind);
  for (int i = 0; i < kRecords; ++i) AppendWithMemo("r" + std::to_string(i + 1), 0);
  CloseArea();

  const std::string helper = BuildProgram("tests/memo/memo_helper");
  const std::string rounds = std::to_string(kRounds);
  ChildProcess odd({helper, "write", Path("shared"), "1", "2", rounds, "odd"});
  ChildProcess even({helper, "write", Path("shared"), "2", "2", rounds, "even"});
  ASSERT_EQ(odd.ReadLine(), "ready");
  ASSERT_EQ(even.ReadLine(), "ready");
  odd.WriteLine("go");
  even.WriteLine("go");
  // "done <from> <to>": when each writer began and ended, on the clock all
  // processes share. Each pauses a millisecond after every record, so
  // writers whose times overlap took turns on the file.
  long long odd_from = 0, odd_to = 0, even_from = 0, even_to = 0;
  const std::string odd_done = odd.ReadLine();
  const std::string even_done = even.ReadLine();
  ASSERT_EQ(std::sscanf(odd_done.c_str(), "done %lld %lld", &odd_from, &odd_to), 2) << odd_done;
  ASSERT_EQ(std::sscanf(even_done.c_str(), "done %lld %lld", &even_from, &even_to), 2) << even_done;
  EXPECT_LT(std::max(odd_from, even_from), std::min(odd_to, even_to)) << "the writers did not run at the same time";
  EXPECT_EQ(odd.Wait(), 0);
  EXPECT_EQ(even.Wait(), 0);

  USE(Path("shared") + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  ASSERT_EQ(RecCount(), kRecords);
  MemoState& memo = CurrentWorkArea()->memo;
  const std::int64_t size = MemoFileSize(memo, "[test]");
  std::vector<std::pair<std::int64_t, std::int64_t>> extents;  // byte ranges of the memos
  for (int r = 1; r <= kRecords; ++r) {
    GO(r);
    const std::string text = HelperText(r % 2 == 1 ? "odd" : "even", r, kRounds - 1);
    EXPECT_EQ(MemoText(NotesBlock()), text) << "record " << r;
    const std::int64_t start = std::int64_t{NotesBlock()} * memo.block_size;
    extents.emplace_back(start, start + static_cast<std::int64_t>(text.size()) + 8);
  }
  std::sort(extents.begin(), extents.end());
  for (std::size_t i = 1; i < extents.size(); ++i) {
    EXPECT_LE(extents[i - 1].second, extents[i].first) << "memos overlap";
  }
  const std::string bytes = ReadFileBytes(Path(kind == kMemoFpt ? "shared.FPT" : "shared.DBT"));
  EXPECT_EQ(NextFree(bytes, kind), (size + memo.block_size - 1) / memo.block_size);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SharedMemoTest, ::testing::Values(0x83, 0x8B, 0xF5));

using MemoLockTest = MemoTest;

TEST_F(MemoLockTest, WriterWithoutTheMemoLockReports1017) {
  CreateAndUse("t", kMemoDbase4);
  CloseArea();
  USE(Path("t"));  // shared: writes take the lock on byte 10
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  ChildProcess holder({BuildProgram("tests/memo/memo_helper"), "lock", Path("t.DBT")});
  ASSERT_EQ(holder.ReadLine(), "locked");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(AddMemo("blocked"), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2000))
      << "eleven attempts with pauses between them";
  EXPECT_EQ(DbfErrorNo, 1017);
  EXPECT_EQ(ErrorDetail, CurrentWorkArea()->memo.name + " [LockMemoPadAndSeekEOF]AddMemo()]");
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 24u);
  holder.WriteLine("release");
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(AddMemo("free again"), 1);
}

TEST_F(MemoLockTest, AWriteThatFailsAndRaisesStillReleasesTheMemoLock) {
  CreateAndUse("t", kMemoFpt);
  CloseArea();
  USE(Path("t"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetAutoReport(true);
  SetRaiseOnError(true);
  // Writes beyond 4096 bytes fail in this process for the duration.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit limit{4096, old_limit.rlim_max};
  setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_THROW(AddMemo(std::string(8000, 'w')), EOrvexError);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_EQ(ReportedErrorNo, 0);  // the message went with the exception
  ChildProcess other({BuildProgram("tests/memo/memo_helper"), "lock", Path("t.FPT")});
  EXPECT_EQ(other.ReadLine(), "locked");
  other.WriteLine("release");
  EXPECT_EQ(other.Wait(), 0);
}

}  // namespace
}  // namespace orvex::test
