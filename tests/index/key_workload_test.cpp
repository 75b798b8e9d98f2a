// Keys come out alike whichever oxdbf command makes them: a run of appends,
// replaces, deletes and recalls (each a real oxdbf process) on a code page
// 850 table whose names hold ß, umlauts, box-drawing characters and the
// dotless i ends with every tag walking as a fresh rebuild walks it, `check`
// clean and every value stored as it was given.
//
// CTest runs ORVEX_KEY_WORKLOAD operations (default 240); the target
// key_workload runs 20,000.
#include <cstdlib>
#include <random>
#include <sstream>

#include "index_test_support.h"

namespace orvex::test {
namespace {

struct Row {
  std::string name;
  int qty = 0;
  bool deleted = false;
};

class KeyWorkloadTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), BuildProgram("tools/oxdbf"));
    return RunProcess(args);
  }
  // Runs a command that must succeed.
  void Must(const std::vector<std::string>& args) {
    ProcessResult r = Run(args);
    ASSERT_EQ(r.exit_status, 0) << args[0] << " " << (args.size() > 2 ? args[2] : "") << ": "
                                << r.err;
  }
  // The record numbers of a tag's walk, deleted records included.
  std::vector<int> Walk(const std::string& tag) {
    ProcessResult r = Run({"dump", table_, "--order", tag});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    std::vector<int> order;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) order.push_back(std::atoi(line.c_str()));
    return order;
  }
  TempDir dir_;
  std::string table_ = dir_.File("t.dbf");
};

TEST_F(KeyWorkloadTest, EveryCommandMakesTheKeysARebuildMakes) {
  const char* env = std::getenv("ORVEX_KEY_WORKLOAD");
  const int operations = env != nullptr ? std::atoi(env) : 240;
  // Pieces that the OEM and ANSI views of a code page 850 table, and the
  // case rules, treat differently: ß, ä/Ä, box drawing (no Windows-1252
  // twin), the dotless i, plain letters.
  const std::vector<std::string> pieces = {"straße",  "Äpfel",  "äb", "╔═╗", "ı",
                                           "STRASSE", "Müller", "┼x", "zz",  "Iı",
                                           "ßß",      "ab",     "║",  "Ü"};
  std::mt19937 random(20261207);
  auto name = [&] {
    std::string n;
    for (int k = 1 + static_cast<int>(random() % 3); k > 0; --k)
      n += pieces[random() % pieces.size()];
    // The field is 12 characters of code page 850: cut by characters.
    std::string cut;
    int chars = 0;
    for (std::size_t i = 0; i < n.size() && chars < 12; ++chars) {
      std::size_t len = 1;
      while (i + len < n.size() && (static_cast<unsigned char>(n[i + len]) & 0xC0) == 0x80) ++len;
      cut += n.substr(i, len);
      i += len;
    }
    return cut;
  };
  Must({"create", table_, "name, C, 12, 0", "qty, N, 6, 0"});
  std::vector<Row> rows;
  for (int i = 0; i < 12; ++i) {
    rows.push_back({name(), static_cast<int>(random() % 1000)});
    Must({"append", table_, "name=" + rows.back().name, "qty=" + std::to_string(rows.back().qty)});
  }
  Must({"index", table_, "NAME", "NAME"});
  Must({"index", table_, "UNAME", "UPPER(NAME)"});
  Must({"index", table_, "QTY", "QTY"});
  Must({"index", table_, "QTYD", "QTY", "--descending"});
  Must({"index", table_, "BIG", "LOWER(NAME)", "--for", "QTY > 500"});
  for (int op = 0; op < operations && !HasFatalFailure(); ++op) {
    const std::string recno = std::to_string(1 + random() % rows.size());
    Row& row = rows[std::stoul(recno) - 1];
    switch (random() % 4) {
      case 0:
        rows.push_back({name(), static_cast<int>(random() % 1000)});
        Must({"append", table_, "name=" + rows.back().name,
              "qty=" + std::to_string(rows.back().qty)});
        break;
      case 1:
        row.name = name();
        if (random() % 2 == 0) row.qty = static_cast<int>(random() % 1000);
        Must({"replace", table_, recno, "name=" + row.name, "qty=" + std::to_string(row.qty)});
        break;
      case 2:
        row.deleted = true;
        Must({"delete", table_, recno});
        break;
      default:
        row.deleted = false;
        Must({"recall", table_, recno});
    }
  }
  ProcessResult check = Run({"check", table_});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("konsistent"), std::string::npos) << check.out;
  std::vector<std::vector<int>> walks;
  for (const char* tag : {"NAME", "UNAME", "QTY", "QTYD", "BIG"}) walks.push_back(Walk(tag));
  Must({"reindex", table_});
  int t = 0;
  for (const char* tag : {"NAME", "UNAME", "QTY", "QTYD", "BIG"})
    EXPECT_EQ(Walk(tag), walks[t++]) << tag;
  // Every value as it was given, read by the tool and by dbfread.
  std::string want = "_deleted,NAME,QTY\n";
  for (const Row& row : rows)
    want +=
        std::string(row.deleted ? "T," : "F,") + row.name + "," + std::to_string(row.qty) + "\n";
  EXPECT_EQ(Run({"dump", table_, "--csv", "--lf", "--with-deleted"}).out, want);
}

}  // namespace
}  // namespace orvex::test
