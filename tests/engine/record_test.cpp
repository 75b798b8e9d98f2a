// Records: pack and unpack of every type, the 6-byte real, code pages,
// record writes, the record-changing commands and the field queries.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "engine/dbf_file.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"
#include "platform/os/fault_injection.h"

namespace orvex::test {
namespace {

class RecordTest : public EngineTest {
 protected:
  // A table C(10), N(5,2), L, D, N(6), M of `records` in the test folder,
  // opened in the current area.
  void OpenMixed(const std::vector<std::string>& records, const std::string& options = " EXCLUSIVE") {
    WriteFileBytes(Path("mixed.dbf"),
                   Dbase3File(0x8B, {{"NAME", 'C', 10}, {"PRICE", 'N', 5, 2}, {"OK", 'L', 1}, {"DAY", 'D', 8},
                                     {"QTY", 'N', 6}, {"NOTE", 'M', 10}},
                              records));
    USE(Path("mixed.dbf") + options);
    ASSERT_EQ(DbfErrorNo, 0);
  }
  double Real(int field) { return RealToDouble(FieldAddress(field)); }
  std::int32_t Int(int field) {
    std::int32_t v;
    std::memcpy(&v, FieldAddress(field), 4);
    return v;
  }
  void SetInt(int field, std::int32_t v) { std::memcpy(FieldAddress(field), &v, 4); }
  std::string Date(int field) {
    const std::uint8_t* p = FieldAddress(field);
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
  }
  void SetDate(int field, const std::string& text) { SetCharField(field, text); }
  std::string StoredRecord(int n) {
    std::string s = ReadFileBytes(Path("mixed.dbf"));
    WorkArea* area = CurrentWorkArea();
    return s.substr(area->header_length + static_cast<std::size_t>(n - 1) * area->record_length, area->record_length);
  }
};

TEST_F(RecordTest, UnpackGivesTheTypedImage) {
  OpenMixed({"Anna      12.50T20240229    42         7", "Bob        -1.5y        x          "});
  EXPECT_EQ(CurrentWorkArea()->unpacked_size, 1 + 11 + 6 + 1 + 11 + 4 + 4);
  EXPECT_EQ(CharField(1), "Anna      ");
  EXPECT_DOUBLE_EQ(Real(2), 12.5);
  EXPECT_EQ(*FieldAddress(3), 1);
  EXPECT_EQ(Date(4), "29.02.24");
  EXPECT_EQ(Int(5), 42);
  EXPECT_EQ(Int(6), 7);
  SKIP(1);
  EXPECT_DOUBLE_EQ(Real(2), -1.5);
  EXPECT_EQ(*FieldAddress(3), 1);     // y is true
  EXPECT_EQ(Date(4), "  .  .  ");     // blank date
  EXPECT_EQ(Int(5), 0);               // not a number
  EXPECT_EQ(Int(6), 0);
  CenturyOn = true;
  SetDateType(0);
  GO(1);
  EXPECT_EQ(Date(4), "02/29/2024");
  EXPECT_EQ(FieldLen(4), 10);
}

TEST_F(RecordTest, PackWritesTheFileForm) {
  OpenMixed({""});
  SetCharField(1, os::Utf8ToAnsi("Zoë"));
  DoubleToReal(3.14159, FieldAddress(2));
  *FieldAddress(3) = 0;
  SetDate(4, "31.12.99");
  SetInt(5, -12345);
  SetInt(6, 12);
  Replace();
  ASSERT_EQ(DbfErrorNo, 0);
  // The blank logical was left false, as it reads: it stays blank.
  EXPECT_EQ(StoredRecord(1), " Zo\x89       " " 3.14" " " "19991231" "-12345" "        12");
  DoubleToReal(12345.678, FieldAddress(2));  // does not fit N(5,2)
  SetInt(5, 1234567);                        // does not fit N(6)
  SetDate(4, "  .  .  ");
  Replace();
  EXPECT_EQ(StoredRecord(1).substr(11, 5), "*****");
  EXPECT_EQ(StoredRecord(1).substr(17, 8), "        ");
  EXPECT_EQ(StoredRecord(1).substr(25, 6), "******");
}

TEST_F(RecordTest, DateTextsOfOtherLengthsAreChecked) {
  OpenMixed({""});
  SetDate(4, "1.2.2024");   // not the expected length: checked and normalised
  Replace();
  EXPECT_EQ(StoredRecord(1).substr(17, 8), "20240201");
  SetDate(4, "31.2.2024");  // invalid: stored empty
  Replace();
  EXPECT_EQ(StoredRecord(1).substr(17, 8), "        ");
  SetDate(4, "");
  Replace();
  EXPECT_EQ(StoredRecord(1).substr(17, 8), "        ");
}

TEST_F(RecordTest, SixByteRealRoundTrips) {
  std::uint8_t r[6];
  for (double v : {1.0, -1.0, 0.5, 12.5, 1234567.89, -0.001, 1e30, 3.0e-20}) {
    DoubleToReal(v, r);
    EXPECT_NEAR(RealToDouble(r), v, std::fabs(v) * 1e-11) << v;
  }
  DoubleToReal(1.0, r);
  EXPECT_EQ(r[0], 129);
  EXPECT_EQ(r[5], 0);
  DoubleToReal(-2.0, r);
  EXPECT_EQ(r[0], 130);
  EXPECT_EQ(r[5], 0x80);
  DoubleToReal(0.0, r);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(RealToDouble(r), 0.0);
  EXPECT_EQ(FormatNumber(-0.0, 5, 2), " 0.00");
  EXPECT_EQ(FormatNumber(99.999, 5, 2), "*****");
  EXPECT_EQ(FormatNumber(-7, 4, 0), "  -7");
}

TEST_F(RecordTest, NumbersOfEveryStoredFormUnpackAsTheirValue) {
  // N(8,2) and N(5): what each stored text reads as, blanks and oddities
  // included (a text that is no number reads as 0).
  const std::vector<std::pair<std::string, double>> decimals = {
      {"   -0.50", -0.5},        {"     1. ", 1},    {"     .25", 0.25},
      {"   1e2  ", 100},         {"   1.2.3", 0},    {"       -", 0},
      {"   +3.25", 3.25},        {"   12 34", 0},    {"        ", 0},
      {"12345.67", 12345.67},    {" 0012.50", 12.5}, {"-1234.56", -1234.56},
      {std::string(8, '\0'), 0}, {"    0.00", 0},    {"  99.999", 99.999},
      {" 1.5E-1 ", 0.15}};
  const std::vector<std::pair<std::string, std::int32_t>> integers = {
      {"  -42", -42}, {"  4 2", 0}, {"+0017", 17}, {"     ", 0}, {"99999", 99999}, {"   1.", 0}};
  std::vector<std::string> records;
  for (std::size_t i = 0; i < decimals.size(); ++i)
    records.push_back(decimals[i].first + integers[i % integers.size()].first);
  WriteFileBytes(Path("numbers.dbf"),
                 Dbase3File(0x03, {{"PRICE", 'N', 8, 2}, {"QTY", 'N', 5}}, records));
  USE(Path("numbers.dbf") + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0);
  for (std::size_t i = 0; i < decimals.size(); ++i, SKIP(1)) {
    std::uint8_t expected[6];
    DoubleToReal(decimals[i].second, expected);
    EXPECT_EQ(std::memcmp(FieldAddress(1), expected, 6), 0)
        << "'" << decimals[i].first << "' read as " << Real(1);
    EXPECT_EQ(Int(2), integers[i % integers.size()].second) << integers[i % integers.size()].first;
  }
  EXPECT_TRUE(dEOF());
}

TEST_F(RecordTest, OemTextIsConvertedBothWaysAndAnsiTablesAreNot) {
  OpenMixed({"\x84rger"});  // OEM ä
  EXPECT_EQ(CharField(1).substr(0, 5), os::Utf8ToAnsi("ärger"));
  SetCharField(1, os::Utf8ToAnsi("Öl"));
  Replace();
  EXPECT_EQ(StoredRecord(1).substr(1, 2), "\x99l");
  EXPECT_EQ(CharField(1).substr(0, 2), os::Utf8ToAnsi("Öl"));
  USE("");
  AnsiTables = true;
  USE(Path("mixed.dbf") + " EXCLUSIVE");
  EXPECT_EQ(CharField(1).substr(0, 2), "\x99l");
}

TEST_F(RecordTest, TranslatorsSeeTheRecordAfterTheFlag) {
  WriteFileBytes(Path("t.dbf"), Dbase3File(0x03, {{"A", 'C', 3}}, {"abc"}));
  AnsiTables = true;
  int lengths = 0;
  USE(Path("t.dbf") + " EXCLUSIVE", nullptr, 0,
      [&](char* p, int n) {
        lengths += n;
        for (int i = 0; i < n; ++i) p[i] = static_cast<char>(std::toupper(p[i]));
      },
      [](char* p, int n) {
        for (int i = 0; i < n; ++i) p[i] = static_cast<char>(std::tolower(p[i]));
      });
  EXPECT_EQ(CharField(1), "ABC");
  EXPECT_EQ(lengths, 3);
  SetCharField(1, "XYZ");
  Replace();
  EXPECT_EQ(ReadFileBytes(Path("t.dbf")).substr(65, 4), " xyz");
  EXPECT_EQ(CharField(1), "XYZ");
}

TEST_F(RecordTest, PutBeyondTheCountAppendsOneRecord) {
  OpenMixed({"a", "b"});
  WorkArea& area = *CurrentWorkArea();
  PackRecord(area);
  ASSERT_TRUE(PutDbfRecord(area, 2 + 5));
  EXPECT_EQ(area.record_count, 3);
  EXPECT_EQ(area.record_number, 3);
  EXPECT_EQ(area.status, TableStatus::kRecordsAppended);
  EXPECT_FALSE(GetDbfRecord(area, 4));
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültige Datensatznr. = 4 (") + area.file_name + ")  [GetDbfRecord]");
  EXPECT_EQ(area.record_number, 3);
}

TEST_F(RecordTest, ShortReadOfARecordIs213) {
  std::string bytes = Dbase3File(0x03, {{"A", 'C', 3}}, {"abc", "def"});
  Put32(bytes, 4, 3);
  WriteFileBytes(Path("t.dbf"), bytes);
  USE(Path("t.dbf"));  // shared: read straight from the file
  GO(3);
  EXPECT_EQ(DbfErrorNo, 213);
  EXPECT_EQ(ErrorDetail, "Datei:  " + CurrentWorkArea()->file_name + "  [GetDbfRecord]");
  USE(Path("t.dbf") + " EXCLUSIVE");  // exclusive: through the read-ahead
  GO(3);
  EXPECT_EQ(DbfErrorNo, 213);
}

TEST_F(RecordTest, ReplaceChecksPositionAndLocks) {
  WriteFileBytes(Path("empty.dbf"), Dbase3File(0x03, {{"A", 'C', 3}}, {}));
  USE(Path("empty.dbf") + " EXCLUSIVE");
  Replace();
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, "Datenbank \"" + CurrentWorkArea()->file_name + "\" ist leer. [REPLACE]");
  OpenMixed({"a"}, "");
  Replace();
  EXPECT_EQ(DbfErrorNo, 1200);
  EXPECT_EQ(ErrorDetail, "Record #1 in " + CurrentWorkArea()->file_name + " [REPLACE]");
  ASSERT_TRUE(RLock());
  Replace();
  EXPECT_EQ(DbfErrorNo, 0);
  SKIP(1);
  Replace();
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, "Datenbank \"" + CurrentWorkArea()->file_name + "\" bei EOF angelangt. [REPLACE]");
}

TEST_F(RecordTest, AppendOnASharedTableNeedsTheAppendLock) {
  OpenMixed({"a"}, "");
  Append();
  EXPECT_EQ(DbfErrorNo, 5);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Datei muß gesperrt sein zum Anhängen: ") + CurrentWorkArea()->file_name + " [APPEND]");
  ASSERT_TRUE(ALock());
  SetCharField(1, "new");
  Append();
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(RecNo(), 2);
  EXPECT_FALSE(dEOF());
}

TEST_F(RecordTest, AFailedRecordWriteLeavesTheFileAsItWas) {
  // A full disk that takes half of the record, an I/O error, and a disk
  // that refuses even the bytes put back: the file keeps its bytes (the
  // last one at worst loses its 0x1A marker), the count stays.
  struct Case {
    os::FaultAction action;
    int error;
    bool sticky;
    bool append;
  } cases[] = {{os::FaultAction::kPartial, ENOSPC, false, true}, {os::FaultAction::kError, EIO, false, true},
               {os::FaultAction::kPartial, ENOSPC, true, true}, {os::FaultAction::kPartial, ENOSPC, false, false}};
  for (const Case& c : cases) {
    OpenMixed({"Anna      12.50T20240229    42         7"});
    FlushHeader(*CurrentWorkArea());
    const std::string before = ReadFileBytes(Path("mixed.dbf"));
    SetCharField(1, "Zoe");
    os::FaultPlan plan;
    plan.ops = os::kFaultWrite;
    plan.fail_at = 1;
    plan.action = c.action;
    plan.error = c.error;
    plan.sticky = c.sticky;
    os::ArmFaults(plan);
    if (c.append) {
      Append();
    } else {
      Replace();
    }
    os::DisarmFaults();
    EXPECT_EQ(DbfErrorNo, c.error == ENOSPC ? 112 : 31);
    EXPECT_EQ(RecCount(), 1);
    const std::string after = ReadFileBytes(Path("mixed.dbf"));
    EXPECT_EQ(after, c.sticky ? before.substr(0, before.size() - 1) : before);
    if (c.error == ENOSPC) {
      EXPECT_EQ(GetErrorMessage(), "Fehler Nr. 112 (Unbekannter Fehler)\r\nKein Platz mehr auf dem Speichermedium. "
                                   "Datei:  " + Path("mixed.dbf") +
                                       " [Replace/Append/PutDbfRecord]");
    }
    CloseArea();
    EXPECT_EQ(ReadFileBytes(Path("mixed.dbf")).substr(32), after.substr(32)) << "the close adds no record";
  }
}

// A real limit instead of an injected fault: the write that crosses it
// stores part of the record and then fails (EFBIG, reported as 112).
TEST_F(RecordTest, AppendsUpToAFileSizeLimitLeaveNoHalfRecord) {
  OpenMixed({"Anna      12.50T20240229    42         7"}, "");
  const std::int64_t header = CurrentWorkArea()->header_length;
  const std::int64_t length = CurrentWorkArea()->record_length;
  CloseArea();
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = static_cast<rlim_t>(header + 5 * length + length / 2);
    rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    USE(Path("mixed.dbf"));
    int appended = 0;
    while (DbfErrorNo == 0 && appended < 20 && ALock()) {
      Append();
      if (DbfErrorNo == 0) ++appended;
    }
    const bool full = DbfErrorNo == 112 && ErrorDetail.rfind("Kein Platz mehr", 0) == 0;
    CloseArea();
    _exit(full ? appended : 100);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 4) << "four records fit behind the first one";
  const std::string bytes = ReadFileBytes(Path("mixed.dbf"));
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), header + 5 * length + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  USE(Path("mixed.dbf") + " EXCLUSIVE");
  EXPECT_EQ(RecCount(), 5);
  USE(Path("mixed.dbf"));
  EXPECT_EQ(RecCount(), 5) << "shared readers count the records in the file";
}

TEST_F(RecordTest, DeleteAndRecallWriteOnlyTheFlag) {
  OpenMixed({"a", "b"}, "");
  DeleteRec();
  EXPECT_EQ(DbfErrorNo, 1200);
  EXPECT_EQ(ErrorDetail, CurrentWorkArea()->file_name + " Datensatz nicht gesperrt [DeleteRec]");
  RecallRec();
  EXPECT_EQ(DbfErrorNo, 1200);
  EXPECT_EQ(ErrorDetail, "Datensatz nicht gesperrt [RecallRec]");
  ASSERT_TRUE(ALock());
  DeleteRec();  // an append lock is not enough
  EXPECT_EQ(DbfErrorNo, 1200);
  Unlock();
  ASSERT_TRUE(RLock());
  DeleteRec();
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(Deleted());
  EXPECT_EQ(StoredRecord(1)[0], '*');
  RecallRec();
  EXPECT_EQ(StoredRecord(1)[0], ' ');
  EXPECT_FALSE(Deleted());
  USE(Path("mixed.dbf") + " EXCLUSIVE");
  GO(2);
  SKIP(1);
  DeleteRec();
  EXPECT_EQ(DbfErrorNo, 1103);
  EXPECT_EQ(ErrorDetail, CurrentWorkArea()->file_name + " at EOF [DeleteRec]");
}

TEST_F(RecordTest, FlushEachWriteKeepsTheHeaderCurrent) {
  FlushEachWrite = true;
  OpenMixed({"a"});
  Append();
  std::string s = ReadFileBytes(Path("mixed.dbf"));
  EXPECT_EQ(Get32(s, 4), 2u);
  EXPECT_EQ(s.back(), 0x1A);
  EXPECT_EQ(CurrentWorkArea()->status, TableStatus::kClean);
}

TEST_F(RecordTest, FieldQueriesAndAddresses) {
  WriteFileBytes(Path("f.dbf"), Dbase3File(0x03, {{"TITLE", 'C', 10}, {"P", 'N', 5, 2}, {"L", 'L', 1}, {"D", 'D', 8}}, {""}));
  USE(Path("f.dbf"));
  std::uint8_t* base = FieldAddress(0);
  EXPECT_EQ(FieldAddress(1), base + 1);
  EXPECT_EQ(FieldAddress(2), base + 12);
  EXPECT_EQ(FieldAddress(3), base + 18);
  EXPECT_EQ(FieldAddress(4), base + 19);
  EXPECT_EQ(FieldCount(), 4);
  EXPECT_EQ(FieldNo("title "), 1);
  EXPECT_EQ(FieldNo("Titlexxxxxxxx"), 0);
  EXPECT_EQ(FieldNo("d"), 4);
  EXPECT_EQ(FieldDec(2), 2);
  EXPECT_EQ(FieldLen(4), 8);
  CenturyOn = true;
  EXPECT_EQ(FieldLen(4), 10);
  EXPECT_EQ(FieldType(0), ' ');
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültige Feldnr. [FieldType(0)]"));
  EXPECT_EQ(Field(5), "");
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültige Feldnr. [Field(5)]"));
  EXPECT_EQ(FieldAddress(5), nullptr);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültige Feldnr. [FieldAddress(5)]"));
  USE("");
  EXPECT_EQ(FieldCount(), 0);
  EXPECT_EQ(DbfErrorNo, 215);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [FieldCount()]  WorkArea = 1"));
}

}  // namespace
}  // namespace orvex::test
