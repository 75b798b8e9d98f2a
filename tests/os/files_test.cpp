#include "platform/os/files.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/os/codepage.h"
#include "support/test_support.h"

namespace orvex::os {
namespace {

using test::ChildProcess;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr std::uint64_t kRecordLock = 0x40000000;

// The helper program in another process, answering "ok" / "err N".
class Other {
 public:
  Other() : child_({test::BuildProgram("tests/os/os_lock_helper")}) {}
  std::string Do(const std::string& command) {
    child_.WriteLine(command);
    return child_.ReadLine();
  }
  int Exit() {
    child_.WriteLine("exit");
    return child_.Wait();
  }

 private:
  ChildProcess child_;
};

int OpenError(const std::string& path, int mode) {
  int error = -1;
  Handle h = OpenFile(path, mode, &error);
  if (h != kNoHandle) CloseFile(h);
  return error;
}

TEST(ShareModes, OpenInAnotherProcessDecidesWhoMayOpen) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, "data");
  Other other;
  ASSERT_EQ(other.Do("open " + path + " 66"), "ok");  // 0x42, deny none
  EXPECT_EQ(OpenError(path, kOpenReadWriteExclusive), kErrSharingViolation);
  EXPECT_EQ(OpenError(path, kOpenRead), kErrSharingViolation);
  EXPECT_EQ(OpenError(path, kOpenReadWrite), kErrSharingViolation);
  EXPECT_EQ(OpenError(path, kOpenReadWriteDenyNone), 0);
  EXPECT_EQ(OpenError(path, kOpenReadDenyNone), 0);
  ASSERT_EQ(other.Do("close"), "ok");

  int error = -1;
  Handle mine = OpenFile(path, kOpenReadWriteExclusive, &error);
  ASSERT_NE(mine, kNoHandle) << error;
  EXPECT_EQ(other.Do("open " + path + " 64"), "err 32");
  EXPECT_EQ(other.Do("open " + path + " 0"), "err 32");
  EXPECT_EQ(CloseFile(mine), 0);
  EXPECT_EQ(other.Do("open " + path + " 0"), "ok");
  EXPECT_EQ(other.Exit(), 0);
}

TEST(ShareModes, CreateAnewOfAHeldFileFailsAndKeepsItsContents) {
  TempDir dir;
  const std::string path = dir.File("login.@s@");
  WriteFileBytes(path, "payload");
  Other other;
  ASSERT_EQ(other.Do("open " + path + " 66"), "ok");
  int error = 0;
  EXPECT_EQ(CreateFile(path, kOpenReadWriteExclusive, &error), kNoHandle);
  EXPECT_EQ(error, kErrSharingViolation);
  EXPECT_EQ(ReadFileBytes(path), "payload");
  EXPECT_EQ(DeleteFile(path), kErrSharingViolation);
  EXPECT_EQ(RenameFile(path, dir.File("other")), kErrSharingViolation);
  EXPECT_EQ(other.Exit(), 0);

  Handle h = CreateFile(path, kOpenReadWriteExclusive, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(FileSize(h, &error), 0);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(DeleteFile(path), 0);
  EXPECT_FALSE(FileExists(path));
}

TEST(Locks, ConflictWithAnotherProcessEndsWhenItExits) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, std::string(100, 'x'));
  Other other;
  ASSERT_EQ(other.Do("open " + path + " 66"), "ok");
  ASSERT_EQ(other.Do("lock " + std::to_string(kRecordLock + 5) + " 1"), "ok");
  int error = 0;
  Handle h = OpenFile(path, kOpenReadWriteDenyNone, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(LockFile(h, kRecordLock + 5, 1), kErrLockViolation);
  EXPECT_EQ(LockFile(h, kRecordLock, 10), kErrLockViolation);
  EXPECT_EQ(LockFile(h, kRecordLock + 6, 1), 0);
  EXPECT_EQ(other.Do("lock " + std::to_string(kRecordLock + 6) + " 1"), "err 33");
  EXPECT_EQ(other.Exit(), 0);
  EXPECT_EQ(LockFile(h, kRecordLock + 5, 1), 0);
  EXPECT_EQ(CloseFile(h), 0);
}

TEST(Locks, ClosingASecondHandleKeepsTheFirstHandlesLock) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, "x");
  int error = 0;
  Handle first = OpenFile(path, kOpenReadWriteDenyNone, &error);
  Handle second = OpenFile(path, kOpenReadDenyNone, &error);
  ASSERT_NE(first, kNoHandle);
  ASSERT_NE(second, kNoHandle);
  ASSERT_EQ(LockFile(first, kRecordLock, 4), 0);
  EXPECT_EQ(LockFile(second, kRecordLock + 2, 1), kErrLockViolation);  // like another program
  EXPECT_EQ(CloseFile(second), 0);
  Other other;
  ASSERT_EQ(other.Do("open " + path + " 66"), "ok");
  EXPECT_EQ(other.Do("lock " + std::to_string(kRecordLock) + " 1"), "err 33");
  EXPECT_EQ(UnlockFile(first, kRecordLock, 4), 0);
  EXPECT_EQ(other.Do("lock " + std::to_string(kRecordLock) + " 1"), "ok");
  EXPECT_EQ(other.Exit(), 0);
  EXPECT_EQ(CloseFile(first), 0);
}

TEST(Locks, FollowWindowsRulesWithinOneHandle) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, "x");
  int error = 0;
  Handle h = OpenFile(path, kOpenRead, &error);  // read-only handles lock too
  ASSERT_NE(h, kNoHandle) << error;
  ASSERT_EQ(LockFile(h, kRecordLock, 10), 0);
  EXPECT_EQ(LockFile(h, kRecordLock + 9, 1), kErrLockViolation);
  EXPECT_EQ(UnlockFile(h, kRecordLock, 5), kErrNotLocked);
  EXPECT_EQ(UnlockFile(h, kRecordLock, 10), 0);
  EXPECT_EQ(UnlockFile(h, kRecordLock, 10), kErrNotLocked);
  EXPECT_EQ(LockFile(h, 0, 0), kErrInvalidParameter);
  EXPECT_EQ(LockFile(h, (std::uint64_t{1} << 62) - 1, 2), kErrInvalidParameter);  // the sentinel
  EXPECT_EQ(LockFile(h, ~std::uint64_t{0}, 2), kErrInvalidParameter);
  EXPECT_EQ(LockFile(h, (std::uint64_t{1} << 62) - 1, 1), 0);
  EXPECT_EQ(LockFile(kNoHandle, 0, 1), kErrInvalidHandle);
  EXPECT_EQ(CloseFile(h), 0);
}

// A file this process may not write: mode 0444, or immutable for root.
class UnwritableFile {
 public:
  explicit UnwritableFile(const std::string& path) : path_(path) {
    WriteFileBytes(path, "read me");
    root_ = geteuid() == 0;
    made_ = root_ ? std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) == 0
                  : chmod(path.c_str(), 0444) == 0;
  }
  ~UnwritableFile() {
    if (made_ && root_) std::system(("chattr -i '" + path_ + "'").c_str());
  }
  bool Made() const { return made_; }

 private:
  std::string path_;
  bool root_ = false;
  bool made_ = false;
};

TEST(ShareModes, UnwritableFilesOpenForReadingWithSharedLocks) {
  TempDir dir;
  const std::string path = dir.File("ro.dbf");
  UnwritableFile file(path);
  if (!file.Made()) GTEST_SKIP() << "cannot make an unwritable file here";
  int error = 0;
  Handle first = OpenFile(path, kOpenRead, &error);
  ASSERT_NE(first, kNoHandle) << error;
  Handle second = OpenFile(path, kOpenReadDenyNone, &error);
  ASSERT_NE(second, kNoHandle) << error;
  char buffer[16];
  std::size_t done = 0;
  EXPECT_EQ(ReadFile(first, buffer, sizeof buffer, &done), 0);
  EXPECT_EQ(std::string(buffer, done), "read me");
  EXPECT_EQ(LockFile(first, kRecordLock, 1), 0);
  EXPECT_EQ(LockFile(second, kRecordLock, 1), 0);  // shared: the weaker guarantee
  EXPECT_EQ(OpenError(path, kOpenReadWrite), kErrAccessDenied);
  EXPECT_EQ(CreateFile(path, kOpenReadWrite, &error), kNoHandle);
  EXPECT_EQ(error, kErrAccessDenied);
  EXPECT_EQ(CloseFile(second), 0);
  EXPECT_EQ(CloseFile(first), 0);
}

TEST(Names, ResolveCaseInsensitivelyAndCreateAsGiven) {
  TempDir dir;
  WriteFileBytes(dir.File("movie_r.dbf"), "dbf");
  ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
  WriteFileBytes(dir.File("sub/File.TXT"), "txt");

  int error = 0;
  Handle h = OpenFile(dir.File("MOVIE_R.DBF"), kOpenRead, &error);
  ASSERT_NE(h, kNoHandle) << error;
  char buffer[8] = {};
  std::size_t done = 0;
  EXPECT_EQ(ReadFile(h, buffer, sizeof buffer, &done), 0);
  EXPECT_EQ(std::string(buffer, done), "dbf");  // short read: bytes done, no error
  EXPECT_EQ(CloseFile(h), 0);

  EXPECT_EQ(ResolvePath(dir.Path() + "\\SUB\\file.txt"), dir.File("sub/File.TXT"));
  EXPECT_TRUE(FileExists(dir.File("Sub/FILE.TXT")));
  EXPECT_EQ(ResolvePath(dir.File("SUB/New.Dat")), dir.File("sub/New.Dat"));
  EXPECT_EQ(ResolvePath(dir.File("NODIR/X.DBF")), dir.File("NODIR/X.DBF"));

  h = CreateFile(dir.File("SUB/NEW.DBF"), kOpenReadWriteExclusive, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("sub/NEW.DBF")), "");

  // A name reaches the file system as the bytes given, in any script; the
  // letters Windows-1252 holds compare without case, in its form too.
  h = CreateFile(dir.File("Bücher.dbf"), kOpenReadWrite, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_TRUE(FileExists(dir.File("BÜCHER.DBF")));
  EXPECT_TRUE(FileExists(dir.Path() + "/" + Utf8ToAnsi("BÜCHER.DBF")));
  EXPECT_EQ(ResolvePath(dir.File("bÜcher.DBF")), dir.File("Bücher.dbf"));
  EXPECT_EQ(FindFiles(dir.Path(), "b*.dbf", &error), std::vector<std::string>{"Bücher.dbf"});
  EXPECT_EQ(FindFiles(dir.Path(), "BÜ*", &error), std::vector<std::string>{"Bücher.dbf"});
  ASSERT_EQ(mkdir(dir.File("数据").c_str(), 0755), 0);
  for (const char* name : {"表格.dbf", "数据.dbf", "数据/mt.dbf"}) {
    h = CreateFile(dir.File(name), kOpenReadWrite, &error);
    ASSERT_NE(h, kNoHandle) << name << " " << error;
    EXPECT_EQ(WriteFile(h, name, 4), 0);
    EXPECT_EQ(CloseFile(h), 0);
  }
  EXPECT_EQ(ReadFileBytes(dir.File("表格.dbf")), std::string("表格.dbf", 4));
  EXPECT_EQ(ReadFileBytes(dir.File("数据.dbf")), std::string("数据.dbf", 4));
  EXPECT_FALSE(FileExists(dir.File("??.dbf")));
  h = OpenFile(dir.File("数据/MT.DBF"), kOpenRead, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(CloseFile(h), 0);
  // Characters without a Windows-1252 form are compared as they are.
  EXPECT_FALSE(FileExists(dir.File("数据x.dbf")));
  EXPECT_EQ(FindFiles(dir.File("数据"), "*.dbf", &error), std::vector<std::string>{"mt.dbf"});
}

// A file replaced by a rename is replaced where it lives: a symbolic link
// (relative or absolute, alone or in a chain) stays a link, and the file it
// names takes the new content.
TEST(Names, ReplaceFileReplacesTheFileALinkNames) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("real").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
  WriteFileBytes(dir.File("real/mt.dbt"), "old");
  ASSERT_EQ(symlink("real/mt.dbt", dir.File("link.dbt").c_str()), 0);
  ASSERT_EQ(symlink("../link.dbt", dir.File("sub/chain.dbt").c_str()), 0);
  ASSERT_EQ(symlink(dir.File("real/new.dbt").c_str(), dir.File("dangling.dbt").c_str()), 0);
  auto is_link = [&](const std::string& name) {
    struct stat st;
    return lstat(dir.File(name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  };

  WriteFileBytes(dir.File("temp1"), "new");
  EXPECT_EQ(ReplaceFile(dir.File("temp1"), dir.File("LINK.DBT")), 0);
  EXPECT_TRUE(is_link("link.dbt"));
  EXPECT_EQ(ReadFileBytes(dir.File("real/mt.dbt")), "new");
  EXPECT_EQ(FlushDirectory(dir.File("link.dbt")), 0);

  WriteFileBytes(dir.File("sub/temp2"), "newer");
  EXPECT_EQ(ReplaceFile(dir.File("sub/temp2"), dir.File("sub/chain.dbt")), 0);
  EXPECT_TRUE(is_link("sub/chain.dbt"));
  EXPECT_TRUE(is_link("link.dbt"));
  EXPECT_EQ(ReadFileBytes(dir.File("real/mt.dbt")), "newer");

  WriteFileBytes(dir.File("temp3"), "made");
  EXPECT_EQ(ReplaceFile(dir.File("temp3"), dir.File("dangling.dbt")), 0);
  EXPECT_TRUE(is_link("dangling.dbt"));
  EXPECT_EQ(ReadFileBytes(dir.File("real/new.dbt")), "made");

  // A loop of links is no file to replace.
  ASSERT_EQ(symlink("loop2", dir.File("loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", dir.File("loop2").c_str()), 0);
  WriteFileBytes(dir.File("temp4"), "x");
  EXPECT_EQ(ReplaceFile(dir.File("temp4"), dir.File("loop1")), kErrPathNotFound);
  EXPECT_TRUE(is_link("loop1"));
}

// A link to a file on another file system: the new file is copied beside
// the linked one and renamed into place; the temporary file goes.
TEST(Names, ReplaceFileThroughALinkToAnotherFileSystem) {
  TempDir dir;
  struct stat here, shm;
  if (stat(dir.Path().c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const std::string other = "/dev/shm/orvex_files_test_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
  WriteFileBytes(other + "/mt.dbt", "old");
  ASSERT_EQ(symlink((other + "/mt.dbt").c_str(), dir.File("link.dbt").c_str()), 0);
  WriteFileBytes(dir.File("temp"), "new content");
  ASSERT_EQ(chmod(dir.File("temp").c_str(), 0640), 0);
  EXPECT_EQ(ReplaceFile(dir.File("temp"), dir.File("link.dbt")), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("link.dbt")), "new content");
  struct stat st;
  EXPECT_EQ(lstat(dir.File("link.dbt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(stat((other + "/mt.dbt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(FileExists(dir.File("temp")));
  int error = 0;
  EXPECT_EQ(FindFiles(other, "*", &error), std::vector<std::string>{"mt.dbt"});
  unlink((other + "/mt.dbt").c_str());
  rmdir(other.c_str());
}

TEST(Files, ErrorsAreWin32Numbers) {
  TempDir dir;
  const std::string path = dir.File("t.dbf");
  WriteFileBytes(path, "0123456789");
  EXPECT_EQ(OpenError(dir.File("missing.dbf"), kOpenRead), kErrFileNotFound);
  EXPECT_EQ(OpenError(dir.File("missing/t.dbf"), kOpenRead), kErrPathNotFound);
  EXPECT_EQ(OpenError(dir.Path(), kOpenRead), kErrAccessDenied);
  EXPECT_EQ(OpenError(path, 0x03), kErrInvalidAccess);
  EXPECT_EQ(OpenError(path, 0x52), kErrInvalidAccess);
  int error = 0;
  EXPECT_EQ(CreateFile(dir.File("missing/new.dbf"), kOpenReadWrite, &error), kNoHandle);
  EXPECT_EQ(error, kErrPathNotFound);

  Handle h = OpenFile(path, kOpenReadDenyNone, &error);
  ASSERT_NE(h, kNoHandle);
  EXPECT_EQ(WriteFile(h, "x", 1), kErrAccessDenied);
  EXPECT_EQ(WriteAt(h, 0, "x", 1), kErrAccessDenied);
  EXPECT_EQ(Truncate(h, 0), kErrAccessDenied);
  char buffer[4];
  std::size_t done = 0;
  EXPECT_EQ(ReadAt(h, 8, buffer, 4, &done), 0);
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(Seek(h, 0, 3, nullptr), kErrInvalidParameter);
  EXPECT_EQ(Seek(h, -20, 2, nullptr), kErrInvalidParameter);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadFileBytes(path), "0123456789");

  WriteFileBytes(dir.File("b.dbf"), "b");
  EXPECT_EQ(RenameFile(path, dir.File("B.DBF")), kErrAlreadyExists);
  EXPECT_EQ(RenameFile(path, dir.File("T.DBF")), 0);  // only the case changes
  EXPECT_EQ(ReadFileBytes(dir.File("T.DBF")), "0123456789");
  EXPECT_EQ(RenameFile(dir.File("gone"), dir.File("x")), kErrFileNotFound);
  EXPECT_EQ(DeleteFile(dir.File("gone")), kErrFileNotFound);
  EXPECT_EQ(CloseFile(kNoHandle), kErrInvalidHandle);

  EXPECT_EQ(ErrnoToWin32(ENOSPC), kErrDiskFull);
  EXPECT_EQ(ErrnoToWin32(EROFS), kErrAccessDenied);
  EXPECT_EQ(ErrnoToWin32(EMFILE), 4);
  EXPECT_EQ(ErrnoToWin32(EIO), kErrGeneralFailure);
}

TEST(Files, ReadWriteSeekAndSize) {
  TempDir dir;
  int error = 0;
  Handle h = CreateFile(dir.File("t.dat"), kOpenReadWriteDenyNone, &error);
  ASSERT_NE(h, kNoHandle) << error;
  EXPECT_EQ(WriteFile(h, "hello", 5), 0);
  EXPECT_EQ(WriteAt(h, 10, "!", 1), 0);
  EXPECT_EQ(FileSize(h, &error), 11);
  std::int64_t position = -1;
  EXPECT_EQ(Seek(h, -2, 1, &position), 0);
  EXPECT_EQ(position, 3);
  char buffer[16];
  std::size_t done = 0;
  EXPECT_EQ(ReadFile(h, buffer, sizeof buffer, &done), 0);
  EXPECT_EQ(std::string(buffer, done), std::string("lo\0\0\0\0\0!", 8));
  EXPECT_EQ(Truncate(h, 4), 0);
  EXPECT_EQ(FlushFileBuffers(h), 0);
  EXPECT_EQ(CloseFile(h), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("t.dat")), "hell");
}

TEST(Names, WildcardsAndFindFiles) {
  EXPECT_TRUE(WildcardMatch("MOVIE_R.DBF", "*.dbf"));
  EXPECT_TRUE(WildcardMatch("movie_r.dbf", "MOVIE_?.DBF"));
  EXPECT_FALSE(WildcardMatch("movie.dbf", "MOVIE_?.DBF"));
  EXPECT_TRUE(WildcardMatch("readme", "*.*"));
  EXPECT_TRUE(WildcardMatch("a.b.c", "*.*"));
  EXPECT_TRUE(WildcardMatch("readme", "readme.*"));
  EXPECT_TRUE(WildcardMatch("readme", "*."));
  EXPECT_FALSE(WildcardMatch("read.me", "*."));
  EXPECT_FALSE(WildcardMatch("abc", "ab"));
  EXPECT_FALSE(WildcardMatch("ab", "ab?"));
  EXPECT_TRUE(WildcardMatch("X.TMP", "x*.tmp"));
  EXPECT_TRUE(WildcardMatch(Utf8ToAnsi("ÄRGER.txt"), Utf8ToAnsi("ärger.*")));

  TempDir dir;
  for (const char* name : {"b.DBF", "a.dbf", "a.mdx", "noext"}) WriteFileBytes(dir.File(name), "");
  ASSERT_EQ(mkdir(dir.File("d.dbf").c_str(), 0755), 0);
  int error = -1;
  EXPECT_EQ(FindFiles(dir.Path(), "*.DBF", &error), (std::vector<std::string>{"a.dbf", "b.DBF"}));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(FindFiles(dir.Path(), "*.*", &error).size(), 4u);
  EXPECT_TRUE(FindFiles(dir.File("nothere"), "*", &error).empty());
  EXPECT_EQ(error, kErrPathNotFound);
}

TEST(Paths, FullPathTempFilesAndFreeSpace) {
  EXPECT_EQ(FullPath("/a/./b/../c\\d"), "/a/c/d");
  EXPECT_EQ(FullPath("/.."), "/");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(FullPath("x/../y.dbf"), std::string(cwd) + "/y.dbf");

  TempDir dir;
  setenv("TMPDIR", dir.Path().c_str(), 1);
  EXPECT_EQ(TempPath(), dir.Path() + "/");
  std::string first, second;
  ASSERT_EQ(TempFileName(TempPath(), "OXP", &first), 0);
  ASSERT_EQ(TempFileName(dir.Path(), "OXPQ", &second), 0);
  EXPECT_NE(first, second);
  for (const std::string& name : {first, second}) {
    EXPECT_EQ(name.rfind(dir.Path() + "/OXP", 0), 0u) << name;
    EXPECT_EQ(name.size(), dir.Path().size() + 1 + 13) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(ReadFileBytes(name), "");
  }
  EXPECT_EQ(TempFileName(dir.File("missing"), "OXP", &first), kErrPathNotFound);

  DiskSpace space;
  ASSERT_TRUE(DiskFreeSpace(dir.Path(), &space));
  struct statvfs vfs;
  ASSERT_EQ(statvfs(dir.Path().c_str(), &vfs), 0);
  const std::uint64_t cluster = std::uint64_t{space.sectors_per_cluster} * space.bytes_per_sector;
  const std::uint64_t free_bytes = std::uint64_t{vfs.f_bavail} * vfs.f_frsize;
  EXPECT_EQ(space.bytes_per_sector, 512u);
  // Other programs write meanwhile: equal to the cluster within 256 MB.
  const std::uint64_t reported = std::uint64_t{space.free_clusters} * cluster;
  const std::uint64_t gap = reported > free_bytes ? reported - free_bytes : free_bytes - reported;
  EXPECT_LT(gap, cluster + (std::uint64_t{256} << 20));
  EXPECT_GE(space.total_clusters, space.free_clusters);
  EXPECT_FALSE(DiskFreeSpace(dir.File("missing/dir"), &space));
}

}  // namespace
}  // namespace orvex::os
