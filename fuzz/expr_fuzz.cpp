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

namespace {

// A dBASE III table: NAME C(10), PRICE N(7,2), DAY D, OK L, NOTE M, CODE F(4).
std::string TableBytes() {
  const struct {
    const char* name;
    char type;
    int length, decimals;
  } fields[] = {{"NAME", 'C', 10, 0}, {"PRICE", 'N', 7, 2}, {"DAY", 'D', 8, 0},
                {"OK", 'L', 1, 0},    {"NOTE", 'M', 10, 0},  {"CODE", 'F', 4, 0}};
  // Deletion flag, then the fields at their widths.
  const std::string records[] = {
      std::string(" ") + "Alien     " + "  12.50" + "19790525" + "T" + "         7" + "  12",
      std::string("*") + "  zz      " + "*******" + "20240229" + "?" + "         0" + "  -3"};
  std::string b(32, '\0');
  b[0] = 3;
  b[4] = 2;
  int header = 32 + 32 * 6 + 1, record = 1 + 10 + 7 + 8 + 1 + 10 + 4;
  b[8] = static_cast<char>(header & 0xFF);
  b[9] = static_cast<char>(header >> 8);
  b[10] = static_cast<char>(record);
  for (const auto& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::string(f.name).size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    b += d;
  }
  b += '\x0D';
  for (const std::string& r : records) {
    if (static_cast<int>(r.size()) != record) std::abort();
    b += r;
  }
  b += '\x1A';
  return b;
}

void OpenTable() {
  char dir[] = "/tmp/orvex_expr_fuzz_XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  std::string path = std::string(dir) + "/fuzz.dbf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::string bytes = TableBytes();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  orvex::SetAutoReport(false);
  orvex::Select(1);
  orvex::USE(path + " ALIAS T");
  std::remove(path.c_str());  // the open file stays readable
  rmdir(dir);
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
