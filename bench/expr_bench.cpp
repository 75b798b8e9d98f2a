// Evaluations per second of key expressions over a 1,000,000-record table:
// walking the table in natural order (GoTop, SKIP) and evaluating on every
// record, and evaluating alone on one record.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"

namespace {

constexpr int kRecords = 1'000'000;

// TITLE C(30), YEAR N(4), PREMIERE D: written straight as file bytes.
std::string WriteMovies() {
  static char dir[] = "/tmp/orvex_expr_bench_XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  std::string path = std::string(dir) + "/movies.dbf";
  const int record = 1 + 30 + 4 + 8;
  const int header = 32 + 3 * 32 + 1;
  std::string head(32, '\0');
  head[0] = 3;
  for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<char>((kRecords >> (8 * i)) & 0xFF);
  head[8] = static_cast<char>(header & 0xFF);
  head[9] = static_cast<char>(header >> 8);
  head[10] = record;
  const struct {
    const char* name;
    char type;
    int length;
  } fields[] = {{"TITLE", 'C', 30}, {"YEAR", 'N', 4}, {"PREMIERE", 'D', 8}};
  for (const auto& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::string(f.name).size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    head += d;
  }
  head += '\x0D';
  std::FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(head.data(), 1, head.size(), out);
  char line[64];
  for (int i = 0; i < kRecords; ++i) {
    int year = 1920 + i % 100;
    std::snprintf(line, sizeof line, " %-30.30s%4d%04d%02d%02d", ("Movie title " + std::to_string(i)).c_str(),
                  year, year, 1 + i % 12, 1 + i % 28);
    std::fwrite(line, 1, record, out);
  }
  std::fputc(0x1A, out);
  std::fclose(out);
  return path;
}

void OpenMovies() {
  static const bool opened = [] {
    std::string path = WriteMovies();
    orvex::Select(1);
    orvex::USE(path + " EXCLUSIVE");
    std::remove(path.c_str());
    if (orvex::DbfErrorNo != 0 || orvex::RecCount() != kRecords) std::abort();
    return true;
  }();
  (void)opened;
}

void WalkAndEvaluate(benchmark::State& state, const char* text) {
  OpenMovies();
  orvex::CompiledExpr* e = orvex::AssignExpr(text);
  std::int64_t evaluations = 0;
  for (auto _ : state) {
    orvex::GoTop();
    while (!orvex::dEOF()) {
      benchmark::DoNotOptimize(orvex::EvaluateExpr(e));
      ++evaluations;
      orvex::SKIP(1);
    }
  }
  state.SetItemsProcessed(evaluations);
  orvex::FreeExpr(e);
}

void EvaluateOnly(benchmark::State& state, const char* text) {
  OpenMovies();
  orvex::GO(12345);
  orvex::CompiledExpr* e = orvex::AssignExpr(text);
  for (auto _ : state) benchmark::DoNotOptimize(orvex::EvaluateExpr(e));
  state.SetItemsProcessed(state.iterations());
  orvex::FreeExpr(e);
}

BENCHMARK_CAPTURE(WalkAndEvaluate, lower_title, "LOWER(TITLE)")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WalkAndEvaluate, str_year_dtos_premiere, "STR(YEAR,4)+DTOS(PREMIERE)")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EvaluateOnly, lower_title, "LOWER(TITLE)");
BENCHMARK_CAPTURE(EvaluateOnly, str_year_dtos_premiere, "STR(YEAR,4)+DTOS(PREMIERE)");

}  // namespace

BENCHMARK_MAIN();
