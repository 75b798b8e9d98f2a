// Transactions: their commands leave exactly what the same commands leave
// one by one, with a fraction of the file calls; a roll-back puts every
// byte back; a failed command rolls the whole transaction back and the
// commands after it are refused; closing the table keeps an open one.
#include "index/transaction.h"

#include <filesystem>

#include "index/index_journal.h"
#include "index_test_support.h"

namespace orvex::test {
namespace {

class TransactionTest : public IndexTest {
 protected:
  // `name`: 200 records (NAME C(10), CITY C(8)) with a production index on
  // NAME and on UPPER(CITY), opened exclusively in area 1.
  void Make(const std::string& name) {
    std::vector<TestRecord> rows;
    for (int i = 0; i < 200; ++i) {
      rows.push_back({{"n" + std::to_string((i * 7919) % 1000), "city" + std::to_string(i % 13)}});
    }
    WriteDbf(Path(name), {{"NAME", 'C', 10}, {"CITY", 'C', 8}}, rows);
    Use(name);
    ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME"), Tag("CITY", "UPPER(CITY)")}, "")) << ErrorDetail;
    CloseAllAreas();
    Open(name);
  }

  void Open(const std::string& name) {
    Use(name);
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  // 300 appends (keys in scattered order, every leaf splits), a replace
  // and a delete.
  static void Commands() {
    for (int i = 0; i < 300; ++i) {
      SetText(1, "a" + std::to_string((i * 4099) % 10000));
      SetText(2, "new" + std::to_string(i % 7));
      Append();
      ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    }
    GO(5);
    SetText(1, "moved");
    Replace();
    GO(9);
    DeleteRec();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  // Write calls while `run` runs.
  static int Writes(const std::function<void()>& run) {
    int writes = 0;
    for (const os::FileCall& c : FileCallsOf(run)) writes += c.op == os::kFaultWrite ? 1 : 0;
    return writes;
  }

  // Makes `name` (see Make) and answers the bytes of its table and index as
  // they then stand in the files; the table is open again.
  std::string MakeAndKeepBytes(const std::string& name) {
    Make(name);
    CloseAllAreas();
    const std::string bytes = Files(name);
    Open(name);
    return bytes;
  }

  std::string Files(const std::string& name) {
    return ReadFileBytes(Path(name)) + ReadFileBytes(Path(name.substr(0, name.size() - 3) + "mdx"));
  }

  // The bytes of the table's index, but for the name of the table in its
  // header.
  std::string IndexBytes(const std::string& table) {
    std::string bytes = ReadFileBytes(Path(table.substr(0, table.size() - 3) + "mdx"));
    if (bytes.size() > 20) std::fill(bytes.begin() + 4, bytes.begin() + 20, '\0');
    return bytes;
  }

  std::string JournalOf(const std::string& name) {
    return KeyedWriteJournalName(os::ResolvePath(Path(name.substr(0, name.size() - 3) + "mdx")));
  }
};

TEST_F(TransactionTest, LeavesWhatItsCommandsLeaveOneByOneWithAFractionOfTheWrites) {
  Make("one.dbf");
  const int one_by_one = Writes(Commands);
  CloseAllAreas();
  // Held index writes go into the file once at the end, or (a small
  // budget) after nearly every command.
  for (const std::size_t budget : {kHeldWriteBudget, std::size_t{2048}}) {
    const std::string name = budget == kHeldWriteBudget ? "all.dbf" : "out.dbf";
    Make(name);
    HeldWriteBudget = budget;
    const int in_transaction = Writes([] {
      BeginTransaction();
      Commands();
      EXPECT_TRUE(InTransaction());
      EndTransaction();
    });
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_FALSE(InTransaction());
    CloseAllAreas();
    EXPECT_FALSE(std::filesystem::exists(JournalOf(name)));
    EXPECT_TRUE(ReadFileBytes(Path(name)) == ReadFileBytes(Path("one.dbf"))) << name;
    EXPECT_TRUE(IndexBytes(name) == IndexBytes("one.dbf")) << name;
    if (budget == kHeldWriteBudget) {
      EXPECT_LT(in_transaction * 5, one_by_one) << in_transaction << " against " << one_by_one;
    }
  }
}

// Appends with rising keys fill new pages at the end of the index: the
// transaction puts them out as one run, not one write per page.
TEST_F(TransactionTest, PagesAddedAtTheEndGoOutInOneWrite) {
  Make("t.dbf");
  const std::string mdx = os::ResolvePath(Path("t.mdx"));
  const auto size_before = std::filesystem::file_size(mdx);
  BeginTransaction();
  for (int i = 0; i < 3000; ++i) {
    SetText(1, "z" + std::to_string(100000 + i));
    SetText(2, "zz");
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  int index_writes = 0;
  for (const os::FileCall& c : FileCallsOf(EndTransaction)) {
    const bool in_index = std::filesystem::path(c.file).extension() == ".mdx";
    index_writes += c.op == os::kFaultWrite && in_index ? 1 : 0;
  }
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const auto pages_added = (std::filesystem::file_size(mdx) - size_before) / 1024;
  EXPECT_GT(pages_added, 60u);
  // The pages changed in place (the last leaf and the branches above it in
  // each tag, the tag headers, the file header) and one run of new pages.
  EXPECT_LT(index_writes, 16) << pages_added << " pages added";
  CloseAllAreas();
  Open("t.dbf");
  EXPECT_TRUE(Find("z101234"));
  EXPECT_EQ(RecNo(), 200 + 1235);
}

TEST_F(TransactionTest, ARollbackPutsBackEveryByteAndTheTablesPosition) {
  const std::string files = MakeAndKeepBytes("t.dbf");
  GO(17);
  BeginTransaction();
  Commands();
  // The transaction's own reads see its changes.
  EXPECT_EQ(RecCount(), 500);
  EXPECT_TRUE(Find("a4099"));
  RollbackTransaction();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(RecCount(), 200);
  EXPECT_EQ(RecNo(), 17);
  EXPECT_FALSE(Find("a4099"));
  CloseAllAreas();
  EXPECT_TRUE(Files("t.dbf") == files);
}

TEST_F(TransactionTest, AFailedCommandRollsBackAllAndTheRestIsRefused) {
  const std::string files = MakeAndKeepBytes("t.dbf");
  BeginTransaction();
  for (int i = 0; i < 40; ++i) {
    SetText(1, "b" + std::to_string(i));
    Append();
  }
  os::ArmFaults({os::kFaultWrite, 1, os::FaultAction::kError, EIO, false});
  SetText(1, "failing");
  Append();
  os::DisarmFaults();
  EXPECT_NE(ErrorDetail.find("[Replace/Append/PutDbfRecord]"), std::string::npos) << ErrorDetail;
  EXPECT_EQ(RecCount(), 200);
  SetText(1, "after");
  Append();
  EXPECT_EQ(DbfErrorNo, 1103);
  EXPECT_NE(ErrorDetail.find("Transaktion nach einem Fehler"), std::string::npos) << ErrorDetail;
  GO(3);
  DeleteRec();
  EXPECT_EQ(DbfErrorNo, 1103);
  EndTransaction();
  EXPECT_EQ(DbfErrorNo, 1103);
  EXPECT_NE(ErrorDetail.find("[EndTransaction]"), std::string::npos) << ErrorDetail;
  EXPECT_FALSE(InTransaction());
  EXPECT_EQ(RecCount(), 200);
  CloseAllAreas();
  EXPECT_TRUE(Files("t.dbf") == files);
  // Once ended, the table takes commands again, each a unit of its own.
  Open("t.dbf");
  SetText(1, "later");
  Append();
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_TRUE(Find("later"));
}

TEST_F(TransactionTest, ClosingTheTableKeepsAnOpenTransaction) {
  Make("t.dbf");
  BeginTransaction();
  SetText(1, "kept");
  Append();
  CloseAllAreas();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_FALSE(std::filesystem::exists(JournalOf("t.dbf")));
  Open("t.dbf");
  EXPECT_EQ(RecCount(), 201);
  EXPECT_TRUE(Find("kept"));
  EXPECT_EQ(RecNo(), 201);
}

TEST_F(TransactionTest, CallsOutOfTurnAreRefused) {
  WriteDbf(Path("plain.dbf"), {{"NAME", 'C', 10}}, {{{"x"}}});
  Use("plain.dbf");
  BeginTransaction();
  EXPECT_EQ(DbfErrorNo, 221);
  EXPECT_NE(ErrorDetail.find("[BeginTransaction]"), std::string::npos) << ErrorDetail;
  CloseAllAreas();
  Make("t.dbf");
  EndTransaction();
  EXPECT_EQ(DbfErrorNo, 228);
  EXPECT_NE(ErrorDetail.find("Keine Transaktion begonnen"), std::string::npos) << ErrorDetail;
  RollbackTransaction();
  EXPECT_EQ(DbfErrorNo, 228);
  BeginTransaction();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  BeginTransaction();
  EXPECT_EQ(DbfErrorNo, 228);
  // The refused second start left the first one open.
  EXPECT_TRUE(InTransaction());
  EndTransaction();
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
}

}  // namespace
}  // namespace orvex::test
