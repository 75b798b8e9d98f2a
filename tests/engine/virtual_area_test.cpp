// Linked lists and virtual files: USE of the virtual forms (storage kinds,
// orderings, aliases, the caller's buffer), the handler hook with its
// operation codes, the commands virtual areas refuse, and the search through
// a small in-memory list manager of this test's own.
#include <cstring>

#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/search.h"
#include "engine/tables.h"
#include "engine_test_support.h"

namespace orvex::test {
namespace {

// Record layout the list describes at open: NAME C(10) at 1, QTY N(3) at 12,
// DAY D at 16, NOTE M at 27; 31 bytes in all.
constexpr int kRecordSize = 31;

// The in-memory list manager: the records as buffer images, and a log of the
// calls ("<operation>:<record>").
struct MemoryList {
  std::vector<std::vector<std::uint8_t>> records;
  std::vector<std::string> calls;
  std::string opened_as;  // storage kind and ordering seen at open
  std::uint16_t open_error = 0;
};
MemoryList List;

void ListHandler(WorkArea& area) {
  List.calls.push_back(std::to_string(area.virtual_operation) + ":" +
                       std::to_string(area.virtual_record));
  std::int32_t n = area.virtual_record;
  switch (area.virtual_operation) {
    case kVirtualOpen:
      if (List.open_error != 0) {
        DbfErrorNo = List.open_error;
        return;
      }
      List.opened_as =
          std::to_string(area.virtual_storage) + "/" + std::to_string(area.virtual_ordering);
      area.fields = {{"NAME", 'C', 10, 0, 1},
                     {"QTY", 'N', 3, 0, 12},
                     {"DAY", 'D', 8, 0, 16},
                     {"NOTE", 'M', 10, 0, 27}};
      area.field_count = 4;
      area.unpacked_offsets = {1, 12, 16, 27};
      area.record_count = static_cast<std::int32_t>(List.records.size());
      break;
    case kVirtualRead:
      std::memcpy(area.unpacked, List.records[n - 1].data(), kRecordSize);
      break;
    case kVirtualWrite:
      if (n > static_cast<std::int32_t>(List.records.size())) {
        List.records.emplace_back(area.unpacked, area.unpacked + kRecordSize);
      } else {
        List.records[n - 1].assign(area.unpacked, area.unpacked + kRecordSize);
      }
      break;
    case kVirtualDelete:
    case kVirtualRecall:
      area.unpacked[0] = area.virtual_operation == kVirtualDelete ? 1 : 0;
      List.records[area.record_number - 1][0] = area.unpacked[0];
      break;
    default:
      break;
  }
}

std::vector<std::uint8_t> Item(const std::string& name, std::int32_t qty, const std::string& day) {
  std::vector<std::uint8_t> r(kRecordSize, 0);
  r[1] = static_cast<std::uint8_t>(name.size());
  std::memcpy(&r[2], name.data(), name.size());
  std::memcpy(&r[12], &qty, 4);
  r[16] = static_cast<std::uint8_t>(day.size());
  std::memcpy(&r[17], day.data(), day.size());
  std::int32_t memo = 5;
  std::memcpy(&r[27], &memo, 4);
  return r;
}

class VirtualAreaTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ResetSearchState();
    ResetPeekCache();
    List = MemoryList{};
    VirtualFiles.handler = ListHandler;
    buffer_.assign(kRecordSize, 0xAA);
  }
  void TearDown() override {
    ResetPeekCache();
    EngineTest::TearDown();
  }
  void Use(const std::string& command) { USE(command, buffer_.data(), kRecordSize); }
  std::vector<int> Found(bool located) {
    std::vector<int> found;
    for (bool ok = located; ok; ok = Continue()) found.push_back(RecNo());
    return found;
  }
  std::vector<std::uint8_t> buffer_;
};

TEST_F(VirtualAreaTest, UseNeedsTheHandlerAndABuffer) {
  VirtualFiles.handler = nullptr;
  Use("queue linked list");
  EXPECT_EQ(DbfErrorNo, 1101);
  EXPECT_EQ(ErrorDetail, "[USE(QUEUE LINKED LIST ,<@Buffer>,31)]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  VirtualFiles.handler = ListHandler;
  USE("queue virtual file");
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "NIL Puffer-Zeiger [USE(QUEUE VIRTUAL FILE ,Nil,0)]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  EXPECT_TRUE(List.calls.empty());
  // A failure the handler reports at open leaves the area empty.
  List.open_error = 8;
  Use("queue linked list");
  EXPECT_EQ(DbfErrorNo, 8);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(VirtualAreaTest, StorageKindsAndOrderingsLaterWordsOfTheListWin) {
  struct Case {
    const char* command;
    const char* opened_as;
  };
  for (const Case& c :
       {Case{"q linked list", "1/0"}, Case{"q linked list to ems", "2/0"},
        Case{"q virtual file to ext", "3/0"}, Case{"q linked list to xms lifo", "3/1"},
        Case{"q linked list to biggest to ems", "5/0"}, Case{"q linked list to heap to ems", "1/0"},
        Case{"q linked list insertion", "1/2"}, Case{"q linked list ascending", "1/3"},
        Case{"q linked list descending fifo", "1/4"}, Case{"q linked list fifo lifo", "1/1"}}) {
    Use(c.command);
    ASSERT_EQ(DbfErrorNo, 0) << c.command;
    EXPECT_EQ(List.opened_as, c.opened_as) << c.command;
    EXPECT_EQ(CurrentWorkArea()->file_name, "Q") << c.command;
  }
  WorkArea& area = *CurrentWorkArea();
  EXPECT_TRUE(area.is_virtual);
  EXPECT_TRUE(area.exclusive);
  EXPECT_TRUE(area.bof && area.eof);
  EXPECT_EQ(area.record_length, kRecordSize);
  EXPECT_EQ(FieldAddress(0), buffer_.data());
  EXPECT_EQ(buffer_, std::vector<std::uint8_t>(kRecordSize, 0));  // cleared at open
}

TEST_F(VirtualAreaTest, AliasesAndTheFileName) {
  Use("items.lst linked list");
  EXPECT_EQ(CurrentWorkArea()->alias, "ITEMS");
  EXPECT_EQ(CurrentWorkArea()->file_name, "ITEMS.LST");
  // Option words after the alias clause still count.
  Select(2);
  Use("items.lst linked list alias q to ems lifo");
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(CurrentWorkArea()->alias, "Q");
  EXPECT_EQ(CurrentWorkArea()->file_name, "ITEMS.LST");
  EXPECT_EQ(List.opened_as, "2/1");
  Select(3);
  List.calls.clear();
  Use("items.dat virtual file");
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Alias-Name \"ITEMS\" bereits benutzt. [USE]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  EXPECT_TRUE(List.calls.empty());
}

TEST_F(VirtualAreaTest, EveryRecordOperationGoesToTheHandlerWithItsCode) {
  Use("items linked list");
  SetCharField(1, "pear");
  Append();
  SetCharField(1, "plum");
  Append();
  EXPECT_EQ(RecCount(), 2);
  GO(1);
  EXPECT_EQ(CharField(1), "pear");
  SetCharField(1, "apple");
  Replace();
  DeleteRec();
  EXPECT_TRUE(Deleted());
  RecallRec();
  EXPECT_FALSE(Deleted());
  EXPECT_EQ(DbfErrorNo, 0);
  USE("");
  EXPECT_EQ(List.calls,
            (std::vector<std::string>{"4:0", "8:1", "8:2", "3:1", "8:1", "2:1", "9:1", "1:1"}));
  ASSERT_EQ(List.records.size(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&List.records[0][2]), 5), "apple");
}

TEST_F(VirtualAreaTest, FileCommandsAreRefused) {
  List.records = {Item("pear", 1, "")};
  Use("items linked list");
  EXPECT_EQ(Peek(1, 1), "");
  EXPECT_EQ(DbfErrorNo, 1100);
  EXPECT_EQ(ErrorDetail, "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Peek]");
  Poke("x", 1, 1);
  EXPECT_EQ(DbfErrorNo, 1100);
  EXPECT_EQ(ErrorDetail, "Search-Befehl bei virtuellen Dateien nicht erlaubt.[Poke(x,1,1)]");
  EXPECT_FALSE(RLock());
  EXPECT_EQ(DbfErrorNo, 1100);
}

TEST_F(VirtualAreaTest, SearchMovesThroughTheListAndFormatsItsValues) {
  List.records = {Item("apple", 7, "24.12.2026"), Item("pear", 17, ""),
                  Item("plum", 7, "01.01.2027")};
  Use("items linked list");
  EXPECT_EQ(Found(Locate("NAME", "p")), (std::vector<int>{2, 3}));
  EXPECT_EQ(Found(Locate("NAME CONTAINED", "PL", true)), (std::vector<int>{1, 3}));
  EXPECT_EQ(Found(Locate("QTY", std::int64_t{7})), (std::vector<int>{1, 3}));
  EXPECT_EQ(Found(Locate("DAY", "24.12.2026")), (std::vector<int>{1}));
  EXPECT_FALSE(Locate("NOTE", "5"));  // memo fields of lists never match
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(dEOF());
  GO(3);
  DeleteRec();
  HideDeleted = true;
  EXPECT_EQ(Found(Locate("QTY", std::int64_t{7})), (std::vector<int>{1}));
}

}  // namespace
}  // namespace orvex::test
