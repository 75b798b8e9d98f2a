// Shared helpers of the test programs: temporary folders, real child
// processes, and the folder of real files made by other software.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::test {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents at
// destruction. Path() ends without a separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// What a finished child process left behind.
struct ProcessResult {
  int exit_status = -1;  // exit code, or 128 + signal number
  std::string out;
  std::string err;
};

// Runs a program to its end, capturing stdout and stderr. `env` entries
// ("NAME=value") are added to the inherited environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {});

// A child process that runs alongside the test. Its stdout is readable line
// by line, and lines can be written to its stdin, so that a test can step a
// helper program through a protocol ("locked", "release", ...).
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Next line of the child's stdout without its line end; "" at end of output.
  std::string ReadLine();
  void WriteLine(const std::string& line);
  // Closes stdin and waits; returns the exit status as in ProcessResult.
  int Wait();

 private:
  int pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  std::string pending_;
};

// A program built beside the tests (for example "oxdbf" or a test helper):
// its full path under the build directory.
std::string BuildProgram(const std::string& relative_path);

// The record numbers of the tag `tag` of the MDX file `mdx` in the order
// Perl's XBase::Index (Debian libdbd-xbase-perl) walks it: an independent
// reading of our index files. A failing Perl run fails the test.
std::vector<std::int32_t> PerlWalk(const std::string& mdx, const std::string& tag);
// The same walk with each key as Perl reads it (its bytes in hex).
struct PerlKey {
  std::string key;
  std::int32_t record = 0;
};
std::vector<PerlKey> PerlWalkKeys(const std::string& mdx, const std::string& tag);

// The shared folder beside the clone (holds testdata/).
std::string SharedDir();
// ../shared/testdata, or "" when that folder is absent.
std::string TestdataDir();

// Makes the library's clock (GetLocalTime) answer midnight of the given date
// until the hook is removed with os::SetClockHook(nullptr).
void SetClockToDate(int year, int month, int day);

// Whole file contents / writing a file from bytes.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace orvex::test

// Skips the test with a visible message when ../shared/testdata is absent.
#define ORVEX_REQUIRE_TESTDATA()                                                   \
  do {                                                                             \
    if (::orvex::test::TestdataDir().empty())                                      \
      GTEST_SKIP() << "shared testdata folder not found at "                      \
                   << ::orvex::test::SharedDir() << "/testdata";                   \
  } while (0)
