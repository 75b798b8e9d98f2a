// Fuzz target of the expression engine: compiles arbitrary text with a table
// open (fields of every type, two records, one of them deleted) and evaluates
// whatever compiles. Errors are stored, not raised; nothing may crash or
// trip a sanitizer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"
#include "fuzz_support.h"

namespace {

// A dBASE III table: NAME C(10), PRICE N(7,2), DAY D, OK L, NOTE M, CODE F(4).
std::string TableBytes() {
  // Deletion flag, then the fields at their widths.
  const std::string records[] = {
      std::string(" ") + "Alien     " + "  12.50" + "19790525" + "T" + "         7" + "  12",
      std::string("*") + "  zz      " + "*******" + "20240229" + "?" + "         0" + "  -3"};
  int record = 0;
  std::string b = orvex::fuzz::DbfHeader({{"NAME", 'C', 10, 0},
                                          {"PRICE", 'N', 7, 2},
                                          {"DAY", 'D', 8, 0},
                                          {"OK", 'L', 1, 0},
                                          {"NOTE", 'M', 10, 0},
                                          {"CODE", 'F', 4, 0}},
                                         2, &record);
  for (const std::string& r : records) {
    if (static_cast<int>(r.size()) != record) std::abort();
    b += r;
  }
  b += '\x1A';
  return b;
}

void OpenTable() {
  const std::string& dir = orvex::fuzz::ScratchFolder("expr_fuzz");
  const std::string path = dir + "/fuzz.dbf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::string bytes = TableBytes();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  orvex::SetAutoReport(false);
  orvex::Select(1);
  orvex::USE(path + " ALIAS T");
  std::remove(path.c_str());  // the open file stays readable
  rmdir(dir.c_str());
  if (orvex::DbfErrorNo != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool opened = (OpenTable(), true);
  (void)opened;
  orvex::DbfErrorNo = 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  if (orvex::CompiledExpr* e = orvex::AssignExpr(text)) {
    orvex::EvaluateExpr(e);
    orvex::FreeExpr(e);
  }
  return 0;
}
