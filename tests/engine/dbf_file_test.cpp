// The DBF file: bytes written by CreateDbf and close, and every header check
// at open with its error number and message.
#include "engine/dbf_file.h"

#include <cstring>
#include <filesystem>
#include <tuple>

#include "engine/field_values.h"
#include "engine/locks.h"
#include "engine/navigation.h"

#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"
#include "platform/os/fault_injection.h"

namespace orvex::test {
namespace {

class DbfFileTest : public EngineTest {
 protected:
  // Opens `bytes` as a table file named `name` and returns DbfErrorNo.
  int OpenBytes(const std::string& name, const std::string& bytes) {
    WriteFileBytes(Path(name), bytes);
    USE(Path(name));
    return DbfErrorNo;
  }
  // Messages name the file as the caller wrote it (names are case-sensitive).
  std::string Shown(const std::string& name) { return Path(name); }
};

TEST_F(DbfFileTest, CreatedTableWithMemoHasDbase4HeaderBytes) {
  ASSERT_TRUE(CreateDbf(Path("memo.dbf"), {{"title", 'C', 10, 0}, {"plot", 'M', 0, 0}}));
  std::string s = ReadFileBytes(Path("memo.dbf"));
  ASSERT_EQ(s.size(), 98u);
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 0x8B);
  EXPECT_EQ(s[1], 126);  // 2026
  EXPECT_EQ(s[2], 3);
  EXPECT_EQ(s[3], 9);
  EXPECT_EQ(Get32(s, 4), 0u);
  EXPECT_EQ(Get16(s, 8), 97u);
  EXPECT_EQ(Get16(s, 10), 21u);
  EXPECT_EQ(s.substr(32, 11), std::string("TITLE\0\0\0\0\0\0C", 12).substr(0, 11));
  EXPECT_EQ(s[43], 'C');
  EXPECT_EQ(s[48], 10);
  EXPECT_EQ(s.substr(64, 4), std::string("PLOT", 4));
  EXPECT_EQ(s[75], 'M');
  EXPECT_EQ(s[80], 10);  // memo fields are always 10 long
  EXPECT_EQ(s[96], 0x0D);
  EXPECT_EQ(s[97], 0x1A);
  EXPECT_EQ(s.substr(12, 20), std::string(20, '\0'));
}

TEST_F(DbfFileTest, CreateFixesLengthsAndChecksDefinitions) {
  ASSERT_TRUE(CreateDbf(Path("three"), {{" n ", 'n', 7, 2}, {"d", 'D', 3, 4}, {"averyverylongname", 'l', 9, 9}}));
  std::string s = ReadFileBytes(Path("three.DBF"));
  EXPECT_EQ(s.size(), 32u * 3 + 33 + 1);
  EXPECT_EQ(s[0], 3);
  EXPECT_EQ(s.substr(32, 2), std::string("N\0", 2));
  EXPECT_EQ(s[49], 2);                  // N keeps its decimals
  EXPECT_EQ(s[64 + 16], 8);             // D is 8 long
  EXPECT_EQ(s[64 + 17], 0);             // without decimals
  EXPECT_EQ(s.substr(96, 11), std::string("AVERYVERYL\0", 11));
  EXPECT_EQ(s[96 + 11], 'L');
  EXPECT_EQ(s[96 + 16], 1);
  EXPECT_EQ(Get16(s, 10), 1u + 7 + 8 + 1);

  EXPECT_FALSE(CreateDbf(Path("bad"), {{"  ", 'C', 5, 0}}));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Empty field name [CreateDbf(" + Path("bad") + ")]");
  EXPECT_FALSE(CreateDbf(Path("bad"), {{"a", 'C', 0, 0}}));
  EXPECT_EQ(DbfErrorNo, 211);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Felddefinition ungültig [CreateDBF]"));
  EXPECT_FALSE(CreateDbf(Path("bad"), {{"a", 'X', 4, 0}}));
  EXPECT_EQ(DbfErrorNo, 211);
  EXPECT_FALSE(CreateDbf(Path("bad"), {}));
  EXPECT_EQ(DbfErrorNo, 211);
}

// A create that fails at any of its file calls, with errors raised as
// exceptions, leaves no file behind (the report comes after the clean-up)
// and no old table is touched; a full disk is said once in the message.
TEST_F(DbfFileTest, ACreateThatFailsAndRaisesLeavesNoFileBehind) {
  const std::string table = Path("made.dbf");
  const auto files = [&] {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(Path("")))
      names += entry.path().filename().string() + " ";
    return names;
  };
  const auto restore = [&](bool over_old) {
    if (over_old) {
      WriteFileBytes(table, "old bytes");
    } else {
      std::filesystem::remove(table);
    }
  };
  SetRaiseOnError(true);
  SetAutoReport(true);
  for (const bool over_old : {false, true}) {
    restore(over_old);
    os::ArmFaults(os::FaultPlan{});
    ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 10, 0}}));
    const long calls = os::DisarmFaults();
    ASSERT_GE(calls, 5);
    restore(over_old);
    for (long n = 1; n <= calls; ++n) {
      for (const int error : {EIO, ENOSPC}) {
        SCOPED_TRACE("call " + std::to_string(n) + ", errno " + std::to_string(error) +
                     (over_old ? ", over an old file" : ""));
        os::FaultPlan plan;
        plan.fail_at = n;
        plan.error = error;
        os::ArmFaults(plan);
        std::string message;
        try {
          CreateDbf(table, {{"NAME", 'C', 10, 0}});
        } catch (const EOrvexError& e) {
          message = e.what();
        }
        os::DisarmFaults();
        // The table is the one before, or the new one when only the
        // directory's sync after the rename failed.
        const std::string now =
            std::filesystem::exists(table) ? ReadFileBytes(table) : std::string("absent");
        EXPECT_TRUE(now == (over_old ? "old bytes" : "absent") || now.size() == 66u) << now;
        EXPECT_EQ(message.empty(), now.size() == 66u && DbfErrorNo == 0) << message;
        EXPECT_EQ(files().find("$CR"), std::string::npos) << files();
        const std::string full = "Kein Platz mehr auf dem Speichermedium. ";
        EXPECT_EQ(message.find(full + full), std::string::npos) << message;
        restore(over_old);
      }
    }
  }
}

TEST_F(DbfFileTest, ExtraVersionsDecideTheVersionOfNewTables) {
  ExtraVersionPlain = 0x30;
  ExtraVersionMemo = 0x31;
  ASSERT_TRUE(CreateDbf(Path("p"), {{"a", 'C', 2, 0}}));
  ASSERT_TRUE(CreateDbf(Path("m"), {{"a", 'M', 2, 0}}));
  EXPECT_EQ(ReadFileBytes(Path("p.DBF"))[0], 0x30);
  EXPECT_EQ(ReadFileBytes(Path("m.DBF"))[0], 0x31);
  ExtraVersionPlain = ExtraVersionMemo = 0;
  MemoVersionByte = 0xF5;
  ASSERT_TRUE(CreateDbf(Path("f"), {{"a", 'M', 2, 0}}));
  EXPECT_EQ(static_cast<unsigned char>(ReadFileBytes(Path("f.DBF"))[0]), 0xF5);
}

TEST_F(DbfFileTest, AppendWritesMarkerDateAndCountAtCloseAndKeepsHeaderBytes) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"abcd"});
  for (int i = 12; i < 32; ++i) bytes[i] = static_cast<char>(0x40 + i);
  bytes[1] = 99, bytes[2] = 12, bytes[3] = 31;
  bytes.pop_back();  // no end marker
  WriteFileBytes(Path("t.dbf"), bytes);
  USE(Path("t.dbf") + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0);
  SetCharField(1, "wxyz");
  Append();
  Append();
  ASSERT_EQ(DbfErrorNo, 0);
  // Before the close the header still holds the old count.
  EXPECT_EQ(Get32(ReadFileBytes(Path("t.dbf")), 4), 1u);
  USE("");
  std::string s = ReadFileBytes(Path("t.dbf"));
  ASSERT_EQ(s.size(), 32u + 33 + 3 * 5 + 1);
  EXPECT_EQ(Get32(s, 4), 3u);
  EXPECT_EQ(s[1], 126);
  EXPECT_EQ(s[2], 3);
  EXPECT_EQ(s[3], 9);
  for (int i = 12; i < 32; ++i) EXPECT_EQ(s[i], static_cast<char>(0x40 + i)) << i;
  EXPECT_EQ(s.substr(65 + 5, 5), " wxyz");
  EXPECT_EQ(s.back(), 0x1A);
}

TEST_F(DbfFileTest, InPlaceWriteRewritesOnlyTheHeader) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"abcd", "efgh"});
  bytes.pop_back();
  bytes[28] = 1;  // table flags
  WriteFileBytes(Path("t.dbf"), bytes);
  USE(Path("t.dbf") + " EXCLUSIVE");
  EXPECT_TRUE(TableFlagSet());
  SetCharField(1, "ZZ");
  Replace();
  ASSERT_EQ(DbfErrorNo, 0);
  USE("");
  std::string s = ReadFileBytes(Path("t.dbf"));
  ASSERT_EQ(s.size(), bytes.size());  // no marker after an in-place write
  EXPECT_EQ(s.substr(65, 5), " ZZ  ");
  EXPECT_EQ(s[28], 1);
  EXPECT_EQ(s[2], 3);
}

TEST_F(DbfFileTest, TableFlagReachesTheFileWithTheNextRewrite) {
  WriteFileBytes(Path("t.dbf"), Dbase3File(0x03, {{"NAME", 'C', 4}}, {"abcd"}));
  USE(Path("t.dbf") + " EXCLUSIVE");
  EXPECT_FALSE(TableFlagSet());
  SetTableFlag(true);
  Replace();
  USE("");
  EXPECT_EQ(ReadFileBytes(Path("t.dbf"))[28], 1);
}

TEST_F(DbfFileTest, ShortFileIsNoTable) {
  EXPECT_EQ(OpenBytes("short.dbf", std::string(31, '\x03')), 210);
  EXPECT_EQ(ErrorDetail, Shown("short.dbf") + " ist keine dBASE-Datenbank. (Prolog ist kleiner als 32 Bytes) [USE/OpenDBF]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(DbfFileTest, UnknownVersionByteIsRefusedUnlessConfigured) {
  std::string bytes = Dbase3File(0x05, {{"NAME", 'C', 4}}, {"abcd"});
  EXPECT_EQ(OpenBytes("v.dbf", bytes), 210);
  EXPECT_EQ(ErrorDetail, Shown("v.dbf") + os::Utf8ToAnsi(" ist keine dBASE-Datenbank.(Versions-Byte ungültig)+ [USE/OpenDBF]"));
  ExtraVersionPlain = 0x05;
  EXPECT_EQ(OpenBytes("v.dbf", bytes), 0);
  EXPECT_EQ(RecCount(), 1);
  EXPECT_EQ(CharField(1), "abcd");
}

TEST_F(DbfFileTest, SlotCountOutsideOneTo255IsRefused) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"abcd"});
  Put16(bytes, 8, 63);
  EXPECT_EQ(OpenBytes("z.dbf", bytes), 210);
  EXPECT_EQ(ErrorDetail, "z.dbf ist keine dBASE-Datenbank. (Zu viele Datenfelder) [Use/OpenDbf]");
  Put16(bytes, 8, 32 + 256 * 32);
  EXPECT_EQ(OpenBytes("z.dbf", bytes), 210);
  EXPECT_EQ(ErrorDetail, "z.dbf ist keine dBASE-Datenbank. (Zu viele Datenfelder) [Use/OpenDbf]");
}

TEST_F(DbfFileTest, ShortDescriptorAreaAndMissingFieldsAreReported) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {});
  Put16(bytes, 8, 32 + 10 * 32);
  EXPECT_EQ(OpenBytes("s.dbf", bytes), 100);
  EXPECT_EQ(ErrorDetail, "Fehler beim Lesen von " + Shown("s.dbf") + " [Use/OpenDbf]");
  bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"abcd"});
  bytes[32] = 0x0D;
  EXPECT_EQ(OpenBytes("e.dbf", bytes), 222);
  EXPECT_EQ(ErrorDetail, "Fehler beim Lesen von " + Shown("e.dbf") + " [Use/OpenDbf]");
}

TEST_F(DbfFileTest, FieldTypesOutsideTheSetAreRefusedAndBGPReadAsMemo) {
  std::string bytes = Dbase3File(0x03, {{"A", 'B', 10}, {"B", 'G', 10}, {"C", 'P', 10}}, {""});
  ASSERT_EQ(OpenBytes("m.dbf", bytes), 0);
  EXPECT_EQ(FieldType(1), 'M');
  EXPECT_EQ(FieldType(3), 'M');
  bytes = Dbase3File(0x03, {{"NAME", 'C', 4}, {"COUNT", 'I', 4}}, {""});
  EXPECT_EQ(OpenBytes("i.dbf", bytes), 211);
  EXPECT_EQ(ErrorDetail, "Field: COUNT [I] in " + Shown("i.dbf") + os::Utf8ToAnsi(" ist kein gültiger Feldtyp"));
  AllowedFieldTypes.set('I');
  EXPECT_EQ(OpenBytes("i.dbf", bytes), 0);
}

// Other programs' tables: a terminator other than 0x0D where the header
// length names the descriptors exactly, a field of length 0 of a type
// nobody knows, and the binary types of Visual FoxPro, whose bytes no code
// page conversion touches and a replace keeps. Types no dialect explains
// are still refused.
TEST_F(DbfFileTest, OtherProgramsHeadersAndBinaryFieldsAreRead) {
  std::string bytes = Dbase3File(0x03, {{"A", 'C', 2}, {"B", 'C', 3}}, {"xyabc"});
  bytes[96] = 0x0A;
  ASSERT_EQ(OpenBytes("t.dbf", bytes), 0) << ErrorDetail;
  EXPECT_EQ(CharField(2), "abc");
  Put16(bytes, 8, 98);  // one byte more: the count no longer follows
  bytes.insert(97, 1, '\0');
  EXPECT_EQ(OpenBytes("t.dbf", bytes), 210);

  bytes = Dbase3File(0x03, {{"ID", 'N', 3}, {"TAG", '0', 0}}, {"  7"});
  ASSERT_EQ(OpenBytes("z.dbf", bytes), 0) << ErrorDetail;
  EXPECT_EQ(FieldCount(), 2);
  EXPECT_EQ(FieldLen(2), 0);
  EXPECT_TRUE(RawFieldValue(*CurrentWorkArea(), CurrentWorkArea()->fields[1], CurrentWorkArea()->record.data()).null);

  bytes = Dbase3File(0x30, {{"N", 'I', 4}, {"NAME", 'C', 4}}, {std::string("\x81\x94\xFF\xFF") + "abcd"});
  WriteFileBytes(Path("i.dbf"), bytes);
  USE(Path("i.dbf") + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const WorkArea& area = *CurrentWorkArea();
  EXPECT_EQ(RawFieldValue(area, area.fields[0], area.record.data()).text, "-27519");  // 0xFFFF9481
  SetCharField(2, "wxyz");
  Replace();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  USE("");
  EXPECT_EQ(ReadFileBytes(Path("i.dbf")).substr(98, 8), std::string("\x81\x94\xFF\xFFwxyz", 8));

  // A nullable V field takes two bits of _NullFlags, in field order: first
  // the one that says its length is in its last byte, then its null bit.
  bytes = Dbase3File(0x30, {{"V", 'V', 6}, {"_NullFlags", '0', 1}},
                     {std::string("abc\0\0\x03\x01", 7), std::string("xyzxyz\x02", 7),
                      std::string("uvwxyz\x00", 7)});
  bytes[32 + 18] = 0x02;  // V may be null
  WriteFileBytes(Path("v.dbf"), bytes);
  USE(Path("v.dbf"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  for (const auto& [record, null, text] :
       {std::tuple{1, false, "abc"}, std::tuple{2, true, ""}, std::tuple{3, false, "uvwxyz"}}) {
    GO(record);
    const FieldValue value = RawFieldValue(*CurrentWorkArea(), CurrentWorkArea()->fields[0],
                                           CurrentWorkArea()->record.data());
    EXPECT_EQ(value.null, null) << record;
    EXPECT_EQ(value.text, text) << record;
  }
  USE("");

  bytes = Dbase3File(0x30, {{"ODD", 'X', 4}}, {"abcd"});
  EXPECT_EQ(OpenBytes("x.dbf", bytes), 211);
  bytes = Dbase3File(0x03, {{"N", 'I', 4}}, {"abcd"});  // I is no dBASE III type
  EXPECT_EQ(OpenBytes("x.dbf", bytes), 211);
}

TEST_F(DbfFileTest, NameOfElevenBytesKeepsTen) {
  std::string bytes = Dbase3File(0x03, {{"abcdefghijk", 'C', 4}}, {"wxyz"});
  ASSERT_EQ(OpenBytes("n.dbf", bytes), 0);
  EXPECT_EQ(Field(1), "ABCDEFGHIJ");
}

TEST_F(DbfFileTest, FieldsBeyondTheRecordAreRefused) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 40}}, {"x"});
  Put16(bytes, 10, 20);
  EXPECT_EQ(OpenBytes("r.dbf", bytes), 210);
  EXPECT_EQ(ErrorDetail,
            os::Utf8ToAnsi("r.dbf ist keine dBASE-Datenbank. (Datensatzlänge kleiner als die Summe der Feldlängen) [Use/OpenDbf]"));
}

TEST_F(DbfFileTest, HeaderAndRecordLengthsThatContradictTheFieldsAreRefused) {
  const std::string good = Dbase3File(0x03, {{"NAME", 'C', 4}, {"QTY", 'N', 3}, {"OK", 'L', 1}}, {"abcd  1T"});
  struct Case {
    const char* what;
    unsigned header_length;  // 0: as written
    unsigned record_length;
    const char* reason;      // nullptr: opens
  } cases[] = {
      {"header ends inside the second descriptor", 65, 9, "Header-Länge kleiner als die Feldbeschreibungen"},
      {"header ends after two of three descriptors", 96, 9, "Header-Länge kleiner als die Feldbeschreibungen"},
      {"record longer than its fields", 0, 12, "Datensatzlänge größer als die Summe der Feldlängen"},
      {"record shorter than its fields", 0, 8, "Datensatzlänge kleiner als die Summe der Feldlängen"},
      {"padding after the terminator", 0, 9, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    if (c.header_length != 0) Put16(bytes, 8, c.header_length);
    Put16(bytes, 10, c.record_length);
    if (c.reason == nullptr) {  // 64 bytes of padding between terminator and records
      Put16(bytes, 8, Get16(bytes, 8) + 64);
      bytes.insert(Get16(good, 8), std::string(64, '\0'));
    }
    const int expected = c.reason == nullptr ? 0 : 210;
    ASSERT_EQ(OpenBytes("h.dbf", bytes), expected) << ErrorDetail;
    if (c.reason != nullptr) {
      EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi(std::string("h.dbf ist keine dBASE-Datenbank. (") + c.reason +
                                            ") [Use/OpenDbf]"));
    } else {
      EXPECT_EQ(CharField(1), "abcd");
    }
  }
}

TEST_F(DbfFileTest, HeaderCountWinsUnlessCountFromFileSize) {
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"a", "b", "c", "d", "e"});
  Put32(bytes, 4, 0);
  ASSERT_EQ(OpenBytes("c.dbf", bytes + ""), 0);
  USE(Path("c.dbf") + " EXCLUSIVE");
  EXPECT_EQ(RecCount(), 0);
  EXPECT_TRUE(CurrentWorkArea()->eof && CurrentWorkArea()->bof);
  EXPECT_EQ(RecNo(), 0);
  CountFromFileSize = true;
  USE(Path("c.dbf") + " EXCLUSIVE");
  EXPECT_EQ(RecCount(), 5);
}

TEST_F(DbfFileTest, Dbase2TablesAreReadAndRewrittenInTheirDialect) {
  std::string s(521, '\0');
  s[0] = 2;
  Put16(s, 1, 2);
  s[3] = 5, s[4] = 6, s[5] = 80;
  Put16(s, 6, 1 + 3 + 4);
  s.replace(8, 4, "NAME");
  s[8 + 11] = 'C', s[8 + 12] = 3;
  s.replace(24, 3, "QTY");
  s[24 + 11] = 'N', s[24 + 12] = 4, s[24 + 15] = 1;
  s[40] = 0x0D;
  s += " abc 1.5*xyz12.5";
  ASSERT_EQ(OpenBytes("two.dbf", s), 0);
  WorkArea* area = CurrentWorkArea();
  EXPECT_EQ(area->dialect, DbfDialect::kDbase2);
  EXPECT_EQ(area->header_length, 521);
  EXPECT_EQ(area->last_update, "05/06/80");
  EXPECT_EQ(RecCount(), 2);
  EXPECT_EQ(CharField(1), "abc");
  SKIP(1);
  EXPECT_EQ(CharField(1), "xyz");
  EXPECT_TRUE(Deleted());
  USE("");
  USE(Path("two.dbf") + " EXCLUSIVE");
  Append();
  USE("");
  std::string after = ReadFileBytes(Path("two.dbf"));
  EXPECT_EQ(Get16(after, 1), 3u);
  EXPECT_EQ(after[3], 3);
  EXPECT_EQ(after[4], 9);
  EXPECT_EQ(after[5], 126);
  EXPECT_EQ(after.substr(8, 513), s.substr(8, 513));

  std::string small = s.substr(0, 520);
  EXPECT_EQ(OpenBytes("small.dbf", small), 210);
  EXPECT_EQ(ErrorDetail, Shown("small.dbf") + " ist keine dBASE-Datenbank.(Datenbank-Header ist kleiner als 521 Bytes) [Use/OpenDBF]");
  std::string full = s;
  for (int i = 0; i < 32; ++i) full[8 + 16 * i] = 'X';
  EXPECT_EQ(OpenBytes("full.dbf", full), 210);
  EXPECT_EQ(ErrorDetail, "full.dbf ist keine dBASE-Datenbank.(Zu viele Datenfelder) [Use/OpenDbf]");
}

TEST_F(DbfFileTest, SharedDbase2TablesFollowTheHeaderCountNotThePadding) {
  std::string s(521, '\0');
  s[0] = 2;
  Put16(s, 1, 1);
  Put16(s, 6, 1 + 3);
  s.replace(8, 4, "NAME");
  s[8 + 11] = 'C', s[8 + 12] = 3;
  s[24] = 0x0D;
  s += " abc" + std::string(12, 'x');  // one record, then padding of three
  ASSERT_EQ(OpenBytes("pad.dbf", s), 0);  // shared
  EXPECT_EQ(RecCount(), 1);
  ASSERT_TRUE(ALock());
  Append();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  // Another area sees the new record at once, and no more.
  Select(2);
  USE(Path("pad.dbf") + " ALIAS OTHER");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(RecCount(), 2);
}

TEST_F(DbfFileTest, Level7DescriptorsAreRead) {
  int header_length = 68 + 48 * 2 + 1;
  std::string s(static_cast<std::size_t>(header_length), '\0');
  s[0] = 4;
  Put32(s, 4, 1);
  Put16(s, 8, static_cast<unsigned>(header_length));
  Put16(s, 10, 1 + 5 + 3);
  s.replace(68, 8, "LONGNAME");
  s[68 + 32] = 'C', s[68 + 33] = 5;
  s.replace(116, 3, "NUM");
  s[116 + 32] = 'N', s[116 + 33] = 3;
  s[68 + 96] = 0x0D;
  s += " hello 42";
  ASSERT_EQ(OpenBytes("seven.dbf", s), 0);
  EXPECT_EQ(Field(1), "LONGNAME");
  EXPECT_EQ(CharField(1), "hello");
  std::int32_t n;
  std::memcpy(&n, FieldAddress(2), 4);
  EXPECT_EQ(n, 42);
}

TEST_F(DbfFileTest, OpenFailureReportsThePlatformError) {
  USE(Path("missing"));
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Fehler beim Öffnen von ") + Shown("missing") + ".DBF [USE/OpenDbf]");
}

}  // namespace
}  // namespace orvex::test
