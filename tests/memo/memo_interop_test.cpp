// Independent readers: python3-dbfread reads the memo files we write, of all
// three kinds, with the texts we stored; and we read the memo files that other
// programs made (../shared/testdata) with the texts dbfread gives.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "memo/blob.h"
#include "memo/memo_pack.h"
#include "memo_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

// Prints one line per record that is not deleted: the hex bytes of each memo
// field's memo (M, G and P, which the engine reads as M; "-" for none, "."
// for an empty one).
const char* kDbfreadScript = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='latin-1')
names = [f.name for f in t.fields if f.type in 'MGP']
for rec in t:
    out = []
    for n in names:
        v = rec[n]
        if v is None: out.append('-')
        elif isinstance(v, bytes): out.append(v.hex() or '.')
        else: out.append(v.encode('latin-1').hex() or '.')
    print(' '.join(out))
)";

std::string HexLower(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

ProcessResult Dbfread(const std::string& table) {
  return RunProcess({"/usr/bin/python3", "-c", kDbfreadScript, table});
}

// The memo bytes of block as the BLOB interface reads them, without
// conversion; "!" when the memo cannot be read.
std::string RawMemo(std::int64_t block) {
  if (block == 0) return "-";
  if (CreateBlobDescriptor(false, static_cast<std::int32_t>(block), kBlobRead) == 0) {
    DbfErrorNo = 0;
    return "!";
  }
  std::string text;
  char buffer[700];
  for (std::int32_t got; (got = ReadBlobStream(buffer, sizeof buffer)) > 0;)
    text.append(buffer, got);
  DestroyBlobDescriptor();
  return text.empty() ? "." : HexLower(text);
}

// Our reading of the open table, in the format of kDbfreadScript.
std::string OurMemos() {
  WorkArea* area = CurrentWorkArea();
  std::string out;
  for (std::int32_t n = 1; n <= area->record_count; ++n) {
    if (!GetDbfRecord(*area, n)) return "record " + std::to_string(n) + " unreadable";
    if (area->record[0] == '*') continue;
    std::string line;
    for (const FieldDesc& field : area->fields) {
      if (field.type != 'M') continue;
      const std::int64_t block =
          ParseMemoRef(std::string(area->record.data() + field.offset, field.length));
      if (!line.empty()) line += ' ';
      line += RawMemo(block);
    }
    out += line + "\n";
  }
  return out;
}

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::istringstream in(text);
  for (std::string token; in >> token;) tokens.push_back(token);
  return tokens;
}

// Position of the first byte `byte` (two hex digits) in a hex text.
std::size_t FindHexByte(const std::string& hex, const char* byte) {
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (hex.compare(i, 2, byte) == 0) return i;
  }
  return std::string::npos;
}

// Compares our memos with dbfread's, allowing for the places where dbfread
// reads differently:
//  - dBASE IV memos with block header: dbfread takes the stored length
//    (text + 8, as dBASE writes it) for the text length, so it returns up to
//    8 bytes after the text, and it ends the text at a byte 0x1F;
//  - a reference beyond the end of the file: we report 1003 ("!"), dbfread
//    gives an empty text.
bool SameMemo(const std::string& ours, const std::string& theirs, std::uint8_t kind) {
  if (ours == theirs || (ours == "!" && theirs == ".")) return true;
  if (kind != kMemoDbase4) return false;
  const std::string text = ours == "." ? "" : ours;
  const std::string mine = text.substr(0, FindHexByte(text, "1f"));
  if (theirs == mine || (mine.empty() && theirs == ".")) return true;
  return mine.size() == text.size() && theirs.compare(0, text.size(), text) == 0 &&
         theirs.size() - text.size() <= 16;
}

bool SameMemos(const std::string& ours, const std::string& theirs, std::uint8_t kind,
               std::string* why) {
  const std::vector<std::string> a = Tokens(ours);
  const std::vector<std::string> b = Tokens(theirs);
  if (a.size() != b.size()) {
    *why = "different number of memos";
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!SameMemo(a[i], b[i], kind)) {
      *why = "memo " + std::to_string(i) + ": ours " + a[i].substr(0, 80) + ", theirs " +
             b[i].substr(0, 80);
      return false;
    }
  }
  return true;
}

class WrittenMemoTest : public MemoTest, public ::testing::WithParamInterface<int> {};

TEST_P(WrittenMemoTest, DbfreadReadsOurMemosWithTheStoredTexts) {
  const auto kind = static_cast<std::uint8_t>(GetParam());
  CreateAndUse("ours", kind);
  const std::vector<std::string> texts = {"Hello", "Zwei\r\nZeilen\r\n",
                                          std::string(1500, 'x') + "!",
                                          "Gr\x81\xE1"
                                          "e \x8E\x99\x9A"};
  std::string expected;
  for (const std::string& text : texts) {
    AppendWithMemo("r", AddMemo(text));
    expected += HexLower(text) + "\n";
  }
  AppendWithMemo("none", 0);
  expected += "-\n";
  // A rewrite through the pad, then a pack, keep the texts.
  GO(2);
  FillPad("Zwei\r\nneue Zeilen");
  std::int32_t block = EditMemoCloseMemo(NotesBlock());
  std::memcpy(FieldAddress(2), &block, 4);
  Replace();
  expected.replace(expected.find(HexLower(texts[1])), HexLower(texts[1]).size(),
                   HexLower("Zwei\r\nneue Zeilen"));
  CloseArea();
  ProcessResult result = Dbfread(Path("ours.dbf"));
  ASSERT_EQ(result.exit_status, 0) << result.err;
  std::string why;
  EXPECT_TRUE(SameMemos(expected, result.out, kind, &why)) << why;

  USE(Path("ours") + " EXCLUSIVE");
  PackMemofile();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  CloseArea();
  result = Dbfread(Path("ours.dbf"));
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_TRUE(SameMemos(expected, result.out, kind, &why)) << "after packing: " << why;
}

INSTANTIATE_TEST_SUITE_P(Kinds, WrittenMemoTest, ::testing::Values(0x83, 0x8B, 0xF5));

using ForeignMemoTest = MemoTest;

TEST_F(ForeignMemoTest, WeReadTheMemoFilesOfOtherProgramsAsDbfreadDoes) {
  ORVEX_REQUIRE_TESTDATA();
  int compared = 0;
  int unreadable_layout = 0;
  std::vector<std::string> kinds_seen;
  for (const auto& entry : fs::recursive_directory_iterator(TestdataDir())) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext != ".DBF") continue;
    const std::string bytes = ReadFileBytes(entry.path().string());
    if (bytes.empty()) continue;
    const auto version = static_cast<std::uint8_t>(bytes[0]);
    if (version != kMemoDbase3 && version != kMemoDbase4 && version != kMemoFpt) continue;
    fs::path memo;
    for (const auto& sibling : fs::directory_iterator(entry.path().parent_path())) {
      std::string name = sibling.path().filename().string();
      const std::string stem = entry.path().stem().string();
      if (name.size() == stem.size() + 4 &&
          strncasecmp(name.c_str(), stem.c_str(), stem.size()) == 0 &&
          strcasecmp(name.c_str() + stem.size(), version == kMemoFpt ? ".FPT" : ".DBT") == 0) {
        memo = sibling.path();
      }
    }
    if (memo.empty()) continue;
    const ProcessResult theirs = Dbfread(entry.path().string());
    if (theirs.exit_status != 0) continue;  // dbfread cannot read this table at all

    TempDir copy;
    fs::copy_file(entry.path(), copy.File(entry.path().filename().string()));
    fs::copy_file(memo, copy.File(memo.filename().string()));
    fs::permissions(copy.Path(), fs::perms::owner_all, fs::perm_options::add);
    for (const auto& f : fs::directory_iterator(copy.Path())) {
      fs::permissions(f.path(), fs::perms::owner_read | fs::perms::owner_write,
                      fs::perm_options::add);
    }
    DbfErrorNo = 0;
    USE(copy.File(entry.path().filename().string()));
    if (DbfErrorNo == 210 && ErrorDetail.find(os::Utf8ToAnsi("Datensatzlänge größer")) != std::string::npos) {
      // Character fields longer than 255 (FoxPro keeps the high byte in the
      // decimals) are beyond the engine's field descriptors: the record
      // length does not match the fields, and the table is refused.
      ++unreadable_layout;
      continue;
    }
    ASSERT_EQ(DbfErrorNo, 0) << entry.path() << ": " << ErrorDetail;
    std::string why;
    EXPECT_TRUE(SameMemos(OurMemos(), theirs.out, version, &why)) << entry.path() << ": " << why;
    CloseArea();
    ++compared;
    kinds_seen.push_back(std::to_string(version));
  }
  RecordProperty("tables", compared);
  EXPECT_GE(compared, 30);
  EXPECT_LE(unreadable_layout, 1);
  for (const char* kind : {"131", "139", "245"}) {
    EXPECT_NE(std::find(kinds_seen.begin(), kinds_seen.end(), kind), kinds_seen.end()) << kind;
  }
}

}  // namespace
}  // namespace orvex::test
