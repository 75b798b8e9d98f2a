#include "support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/os/system.h"

extern char** environ;

namespace orvex::test {
namespace {

std::vector<char*> CStrings(const std::vector<std::string>& items) {
  std::vector<char*> out;
  for (const auto& s : items) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    bool overridden = false;
    for (const auto& x : extra) {
      auto eq = x.find('=');
      if (entry.compare(0, eq + 1, x, 0, eq + 1) == 0) overridden = true;
    }
    if (!overridden) env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Starts argv with stdin/stdout/stderr connected to the given descriptors
// (-1 = inherit).
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int in,
          int out, int err) {
  auto args = CStrings(argv);
  auto merged = MergedEnvironment(env);
  auto envp = CStrings(merged);
  pid_t pid = fork();
  if (pid == 0) {
    if (in >= 0) dup2(in, 0);
    if (out >= 0) dup2(out, 1);
    if (err >= 0) dup2(err, 2);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/orvex_test_XXXXXX";
  char* made = mkdtemp(templ.data());
  path_ = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env) {
  ProcessResult result;
  // Output goes to temporary files so that large outputs cannot dead-lock.
  TempDir dir;
  std::string out_name = dir.File("out"), err_name = dir.File("err");
  int out = open(out_name.c_str(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0600);
  int err = open(err_name.c_str(), O_CREAT | O_RDWR | O_TRUNC | O_CLOEXEC, 0600);
  int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int pid = Spawn(argv, env, devnull, out, err);
  close(devnull);
  close(out);
  close(err);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_status = DecodeStatus(status);
  result.out = ReadFileBytes(out_name);
  result.err = ReadFileBytes(err_name);
  return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
  int to_child[2], from_child[2];
  // Close-on-exec: the child keeps only the ends dup2 gives it, so that
  // closing our end of its stdin really ends its input.
  if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return;
  pid_ = Spawn(argv, env, to_child[0], from_child[1], -1);
  close(to_child[0]);
  close(from_child[1]);
  in_fd_ = to_child[1];
  out_fd_ = from_child[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (in_fd_ >= 0) close(in_fd_);
  if (out_fd_ >= 0) close(out_fd_);
}

std::string ChildProcess::ReadLine() {
  for (;;) {
    auto nl = pending_.find('\n');
    if (nl != std::string::npos) {
      std::string line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return line;
    }
    char buf[256];
    ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n <= 0) {
      std::string rest;
      rest.swap(pending_);
      return rest;
    }
    pending_.append(buf, static_cast<size_t>(n));
  }
}

void ChildProcess::WriteLine(const std::string& line) {
  std::string text = line + "\n";
  ssize_t ignored = write(in_fd_, text.data(), text.size());
  (void)ignored;
}

int ChildProcess::Wait() {
  if (in_fd_ >= 0) {
    close(in_fd_);
    in_fd_ = -1;
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return DecodeStatus(status);
}

std::string BuildProgram(const std::string& relative_path) {
  const char* bin = std::getenv("ORVEX_TEST_BIN");
  std::string base = bin ? bin : std::filesystem::current_path().string();
  return base + "/" + relative_path;
}

void SetClockToDate(int year, int month, int day) {
  os::SetClockHook([=] {
    os::LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    return t;
  });
}

std::string SharedDir() { return ORVEX_SHARED_DIR; }

std::string TestdataDir() {
  std::string dir = SharedDir() + "/testdata";
  return std::filesystem::is_directory(dir) ? dir : "";
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<PerlKey> PerlWalkKeys(const std::string& mdx, const std::string& tag) {
  static const char* const kPerlWalk = R"(
use strict;
use XBase::Index;
my ($file, $tag) = @ARGV;
my $index = XBase::Index->new($file, 'tag' => $tag) or die XBase::Index->errstr;
$index->prepare_select or die $index->errstr;
while (my ($key, $record) = $index->fetch) { print "$record " . unpack('H*', $key) . "\n"; }
)";
  const ProcessResult r = RunProcess({"/usr/bin/perl", "-e", kPerlWalk, mdx, tag});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<PerlKey> keys;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.find(' ');
    keys.push_back({line.substr(blank + 1), std::stoi(line.substr(0, blank))});
  }
  return keys;
}

std::vector<std::int32_t> PerlWalk(const std::string& mdx, const std::string& tag) {
  std::vector<std::int32_t> records;
  for (const PerlKey& key : PerlWalkKeys(mdx, tag)) records.push_back(key.record);
  return records;
}

}  // namespace orvex::test
