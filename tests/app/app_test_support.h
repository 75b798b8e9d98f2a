// Shared set-up of the viewer tests: a folder with the sample table made by
// the sample-data maker (a child process), the window built over it with the
// folder as current directory, and what python3-dbfread reads from it.
#pragma once

#include <QApplication>
#include <QTest>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/state_dump.h"
#include "app/u_read.h"
#include "support/gui_test_support.h"
#include "support/test_support.h"

namespace orvex::test {

// The sample table's records as dbfread reads them, one line each:
// "<record number>|<R or D>|<title>|<year>|<runtime>|<stars>|<plot>"; then
// for each tag "TAG <name>" and the record numbers in key order (keys as the
// MDX stores them: code page 850, lower-cased for TITLE and STARS; equal
// keys by record number).
inline const char* kSampleReader = R"PY(
import sys
from dbfread import DBF
t = DBF(sys.argv[1], encoding='cp850', load=True)
rows = []
for kind, records in (('R', t.records), ('D', t.deleted)):
    for r in records:
        rows.append((r, kind))
# dbfread lists live and deleted records apart; the file order comes back
# from the record numbers dbfread does not give, so re-read the flags.
raw = open(sys.argv[1], 'rb').read()
hlen = int.from_bytes(raw[8:10], 'little'); rlen = int.from_bytes(raw[10:12], 'little')
n = int.from_bytes(raw[4:8], 'little')
live = iter(t.records); dead = iter(t.deleted)
ordered = []
for i in range(n):
    flag = raw[hlen + i * rlen:hlen + i * rlen + 1]
    ordered.append((i + 1, 'D' if flag == b'*' else 'R', next(dead) if flag == b'*' else next(live)))
# dBASE IV memo blocks count their 8-byte header in the stored length;
# dbfread reads that many bytes after the header, so a memo that does not fill
# its last block comes back with 8 bytes of the block's zero padding.
for no, kind, r in ordered:
    plot = r['PLOT'].rstrip('\x00')
    print('|'.join([str(no), kind, r['TITLE'], str(r['YEAR']), str(r['RUNTIME']), r['STARS'], plot]))
# Character keys as the MDX holds them: code page 850, A-Z and the three
# capital umlauts lower-cased, then ae/oe/ue/ss for the umlauts and sharp s,
# cut back to the text's length; keys compare as unsigned bytes.
def text_key(s, width):
    raw = s.lower().encode('cp850').ljust(width, b' ')
    raw = raw.translate(bytes.maketrans(b'\x8e\x99\x9a', b'\x84\x94\x81'))
    for umlaut, pair in ((b'\x84', b'ae'), (b'\x94', b'oe'), (b'\x81', b'ue'), (b'\xe1', b'ss')):
        raw = raw.replace(umlaut, pair)
    return raw[:width]
keys = {
    'TITLE': lambda r: text_key(r['TITLE'], 20),
    'YEAR': lambda r: r['YEAR'],
    'RUNTIME': lambda r: r['RUNTIME'],
    'STARS': lambda r: text_key(r['STARS'], 50),
}
for tag, key in keys.items():
    print('TAG ' + tag)
    for no, kind, r in sorted(ordered, key=lambda x: (key(x[2]), x[0])):
        print(no)
)PY";

struct SampleRecord {
  int number = 0;
  bool deleted = false;
  std::vector<std::string> values;  // title, year, runtime, stars, plot (UTF-8)
};

struct SampleTable {
  std::vector<SampleRecord> records;
  std::map<std::string, std::vector<int>> orders;  // tag -> record numbers
};

inline std::vector<std::string> SplitBars(const std::string& line) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, '|')) parts.push_back(part);
  return parts;
}

inline std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

class ViewerTest : public testing::Test {
 protected:
  void SetUp() override {
    GuiApp();
    MakeSample(dir.Path());
    ASSERT_EQ(getcwd(saved_cwd, sizeof saved_cwd), saved_cwd);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  }
  void TearDown() override {
    form.reset();
    ASSERT_EQ(chdir(saved_cwd), 0);
  }

  static void MakeSample(const std::string& folder) {
    const ProcessResult made =
        RunProcess({BuildProgram("tools/make_movies"), folder}, {"ASAN_OPTIONS=detect_leaks=0"});
    ASSERT_EQ(made.exit_status, 0) << made.err;
  }

  // The window, shown and activated as a user's start would.
  app::TForm1& Show() {
    form = std::make_unique<app::TForm1>();
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Activate(*form);
    return *form;
  }
  static void Activate(QWidget& window) {
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
  }

  SampleTable ReadSample() {
    WriteFileBytes(dir.File("reader.py"), kSampleReader);
    const ProcessResult r = RunProcess({"/usr/bin/python3", dir.File("reader.py"), dir.File("movie_r.dbf")});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    SampleTable table;
    std::istringstream in(r.out);
    std::string tag;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("TAG ", 0) == 0) {
        tag = line.substr(4);
      } else if (!tag.empty()) {
        table.orders[tag].push_back(std::stoi(line));
      } else {
        std::vector<std::string> parts = SplitBars(line);
        if (parts.size() < 7) continue;
        table.records.push_back({std::stoi(parts[0]), parts[1] == "D",
                                 {parts[2], parts[3], parts[4], parts[5], parts[6]}});
      }
    }
    return table;
  }

  TempDir dir;
  char saved_cwd[4096] = {};
  std::unique_ptr<app::TForm1> form;
};

}  // namespace orvex::test
