// Fuzz target of the index engine: an MDX file of arbitrary bytes beside a
// valid table (NAME C(10), NUM N(6,2), DAY D; 60 records, some deleted).
// Opening, the tag listing, walks over every tag both ways, searches and key
// maintenance (an append, an edit that changes keys, a delete and a recall)
// must end in a result or a reported error (222 on open, 254 for a damaged
// tree), never in a crash, a sanitizer report or a walk without end.
//
// Input: the MDX file. The seeds in corpus/mdx_fuzz are indexes built over
// this table (gen: MakeIndex of NAME, UPPER(NAME) descending, NUM, DAY with
// a FOR condition, NAME unique).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "fuzz_support.h"
#include "index/index_build.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"

namespace {

using namespace orvex;

constexpr int kRecords = 60;

const std::string& Directory() { return fuzz::ScratchFolder("mdx_fuzz"); }

// The table's bytes: dBASE III, three fields, kRecords records.
std::string TableBytes() {
  int record = 0;
  std::string b = fuzz::DbfHeader({{"NAME", 'C', 10, 0}, {"NUM", 'N', 6, 2}, {"DAY", 'D', 8, 0}},
                                  kRecords, &record);
  for (int i = 0; i < kRecords; ++i) {
    char row[64];
    std::snprintf(row, sizeof row, "%c%-10s%6.2f%04d%02d%02d", i % 7 == 3 ? '*' : ' ',
                  (std::string("name") + std::to_string(i * 37 % 23)).c_str(), (i * 13 % 41) - 20.5,
                  1990 + i % 30, 1 + i % 12, 1 + i % 28);
    b += row;
  }
  b += '\x1A';
  return b;
}

// A failed operation must have said why; the error must be the index's own.
void RequireReported(bool ok) {
  if (!ok && DbfErrorNo == 0) std::abort();
  DbfErrorNo = 0;
}

// Walks the active order one way; a walk of a 60-record table that takes
// more steps than this went round in circles.
void Walk(bool forward) {
  int steps = 0;
  forward ? GoTop() : GoBottom();
  while (DbfErrorNo == 0 && !(forward ? dEOF() : dBOF())) {
    if (++steps > 10 * kRecords) std::abort();
    SKIP(forward ? 1 : -1);
  }
  DbfErrorNo = 0;
}

// Record changes that move keys in every tag of the fuzzed file.
void Maintain() {
  Set_Order_To(0);
  DbfErrorNo = 0;
  GO(3);
  std::uint8_t* name = FieldAddress(1);
  const std::string text = "zz new";
  name[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), name + 1);
  Append();
  DbfErrorNo = 0;
  GO(5);
  name = FieldAddress(1);
  name[0] = 1;
  name[1] = 'a';
  Replace();
  DbfErrorNo = 0;
  GO(7);
  DeleteRec();
  DbfErrorNo = 0;
  RecallRec();
  DbfErrorNo = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool installed = (SetAutoReport(false), true);
  (void)installed;
  const std::string table = Directory() + "/fuzz.dbf";
  const std::string mdx = Directory() + "/fuzz.mdx";
  fuzz::WriteFile(table, TableBytes());
  fuzz::WriteFile(mdx, std::string_view(reinterpret_cast<const char*>(data), size));
  DbfErrorNo = 0;
  Select(1);
  USE(table + " EXCLUSIVE");
  if (DbfErrorNo != 0) std::abort();
  IndexTagLines(mdx);
  DbfErrorNo = 0;
  SetIndexTo(mdx);
  if (DbfErrorNo != 0 && DbfErrorNo != 222 && DbfErrorNo != 254 && DbfErrorNo != 266) std::abort();
  if (DbfErrorNo == 0) {
    IndexFile* index = IndexOf(1);
    int tags = index != nullptr ? static_cast<int>(index->tags.size()) : 0;
    for (int n = 1; n <= tags; ++n) {
      Set_Order_To(n);
      RequireReported(DbfErrorNo == 0);
      for (bool hide : {false, true}) {
        HideDeleted = hide;
        Walk(true);
        Walk(false);
      }
      HideDeleted = false;
      for (const char* text : {"name1", "NAME22", "-20.5", "3", "01/01/2000", "zzz"}) {
        Find(text);
        DbfErrorNo = 0;
        FindExact(text);
        DbfErrorNo = 0;
      }
      GO(kRecords / 2);
      SKIP(1);
      SKIP(-2);
      DbfErrorNo = 0;
    }
    Maintain();
  }
  DbfErrorNo = 0;
  CloseAllAreas();
  DbfErrorNo = 0;
  return 0;
}
