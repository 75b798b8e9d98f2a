// POSIX implementation of the Win32-shaped file layer.
//
// Descriptors. A handle is a file descriptor. Whatever access the caller asks
// for, the file is opened O_RDWR when the process may write it, so that the
// share sentinel and byte-range locks can be exclusive (an OFD write lock needs
// a descriptor open for writing); the access asked for is remembered per handle
// and enforced here (writing through a read-only handle answers 5, as Windows
// does). When the file may not be written (permissions, read-only file
// system), it is opened with the access asked for, and exclusive locks that a
// read-only descriptor cannot take fall back to shared ones: such a handle
// still keeps out every exclusive open and every writer's lock, but not other
// readers. That is the best a process without write permission can do.
//
// Locks follow Windows, not POSIX: a handle cannot lock a range that overlaps
// one it already holds (33), and an unlock must name exactly a range that the
// handle locked (158, ERROR_NOT_LOCKED, otherwise); ranges are never merged.
#include "platform/os/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/os/codepage.h"
#include "platform/os/display_text.h"
#include "platform/os/fault_injection.h"

namespace orvex::os {

namespace {

constexpr std::uint64_t kSentinelOffset = std::uint64_t{1} << 62;

struct HandleInfo {
  int access = 2;                                              // 0 read, 1 write, 2 read/write
  std::vector<std::pair<std::uint64_t, std::uint64_t>> locks;  // offset, length
};

// Handles opened by this layer. Only bookkeeping of open descriptors: it
// holds nothing once every handle is closed.
std::mutex g_handles_mutex;
std::map<int, HandleInfo> g_handles;
// Counted outside the mutex: readers ask for it on every mapped read.
std::atomic<std::uint64_t> g_closes{0};

int LastError() { return ErrnoToWin32(errno); }

// The Win32 error an armed test fault gives a call of kind `op` on `handle`
// (or on the file `name`), or 0.
int InjectedFault(FaultOp op, Handle handle, const char* name = nullptr) {
  bool partial = false;
  return ErrnoToWin32(FaultCheck(op, &partial, handle, name));
}

// The access a handle was opened with; descriptors this layer did not open
// are left to the operating system.
int AccessOf(Handle h) {
  std::lock_guard<std::mutex> guard(g_handles_mutex);
  auto it = g_handles.find(h);
  return it == g_handles.end() ? 2 : it->second.access;
}

std::string ToSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The form in which two names compare case-insensitively. A name that is not
// UTF-8 is taken as Windows-1252 (library text) and read as UTF-8 first, so
// that such a name still finds the file its UTF-8 form names. Each character
// that Windows-1252 holds is upper-cased by its rules; other characters are
// kept as they are.
std::string NameKey(const std::string& name) {
  const std::string utf8 = IsValidUtf8(name) ? name : AnsiToUtf8(name);
  std::string key;
  key.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string character = utf8.substr(pos, length);
    pos += length;
    const std::string ansi = length == 1 ? character : Utf8ToAnsi(character);
    if (ansi.size() == 1 && (ansi != "?" || character == "?")) {
      key += AnsiToUtf8(CharUpperString(ansi));
    } else {
      key += character;
    }
  }
  return key;
}

// The entry of `dir` that equals `component` case-insensitively (the first in
// byte order when several do), or "".
std::string FindEntry(const std::string& dir, const std::string& component) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return {};
  const std::string wanted = NameKey(component);
  std::string best;
  while (dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (NameKey(entry) != wanted) continue;
    if (best.empty() || entry < best) best = entry;
  }
  closedir(d);
  return best;
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file that a replacement of `path` must land on: `path` itself, or,
// while it is a symbolic link, the name the link holds (taken from the
// link's directory when relative). Renaming onto that name replaces the
// linked file and leaves every link a link; a dangling link's file is made
// where the link points. False (ELOOP) for a chain of more than 40 links.
bool LinkedFile(std::string path, std::string* file) {
  for (int links = 0; links <= 40; ++links) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *file = path;
      return true;
    }
    std::vector<char> text(static_cast<std::size_t>(st.st_size) + 256);
    const ssize_t n = readlink(path.c_str(), text.data(), text.size());
    if (n < 0 || static_cast<std::size_t>(n) >= text.size()) {
      errno = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string target(text.data(), static_cast<std::size_t>(n));
    path = !target.empty() && target[0] == '/' ? target : Join(ParentOf(path), target);
  }
  errno = ELOOP;
  return false;
}

// ENOENT means 2 when the directory exists and 3 when it does not.
int OpenError(int err, const std::string& path) {
  if (err == ENOENT) {
    struct stat st;
    const std::string parent = ParentOf(path);
    if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrPathNotFound;
  }
  return ErrnoToWin32(err);
}

// One OFD lock request; -1 with errno on failure. A write lock that the
// descriptor's access forbids (EBADF) is taken as a read lock and vice versa.
int SetOfdLock(int fd, short type, std::uint64_t offset, std::uint64_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  int rc = fcntl(fd, F_OFD_SETLK, &fl);
  if (rc != 0 && errno == EBADF && type != F_UNLCK && fcntl(fd, F_GETFD) != -1) {
    fl.l_type = type == F_WRLCK ? F_RDLCK : F_WRLCK;
    rc = fcntl(fd, F_OFD_SETLK, &fl);
  }
  return rc;
}

// True when another open file description holds the share sentinel of the
// file at `path`, that is, when the file is open through this layer elsewhere.
bool HeldElsewhere(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(kSentinelOffset);
  fl.l_len = 1;
  const bool held = fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  close(fd);
  return held;
}

Handle OpenShared(const std::string& name, int mode, bool create, int* error) {
  int dummy = 0;
  if (error == nullptr) error = &dummy;
  *error = 0;
  const int access = mode & 0x0F;
  const int share = (mode >> 4) & 0x0F;
  if (mode < 0 || mode > 0xFF || access > 2 || share > 4) {
    *error = kErrInvalidAccess;
    return kNoHandle;
  }
  const std::string path = ResolvePath(name);
  const int create_flags = create ? O_CREAT : 0;
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | create_flags, 0666);
  if (fd < 0 && !create && access != 2 &&
      (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    fd = open(path.c_str(), (access == 0 ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
  }
  if (fd < 0) {
    *error = errno == EISDIR ? kErrAccessDenied : OpenError(errno, path);
    return kNoHandle;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    *error = kErrAccessDenied;
    return kNoHandle;
  }
  const short sentinel = share == 4 ? F_RDLCK : F_WRLCK;
  if (SetOfdLock(fd, sentinel, kSentinelOffset, 1) != 0) {
    const int err = errno;
    close(fd);
    *error = (err == EAGAIN || err == EACCES) ? kErrSharingViolation : ErrnoToWin32(err);
    return kNoHandle;
  }
  if (create && ftruncate(fd, 0) != 0) {
    *error = LastError();
    close(fd);
    return kNoHandle;
  }
  std::lock_guard<std::mutex> guard(g_handles_mutex);
  g_handles[fd] = HandleInfo{access, {}};
  return fd;
}

// Reads until `count` bytes or end of file; `offset` null means the current
// position.
int ReadLoop(Handle h, const std::int64_t* offset, void* buffer, std::size_t count,
             std::size_t* done) {
  std::size_t dummy = 0;
  if (done == nullptr) done = &dummy;
  *done = 0;
  if (h < 0) return kErrInvalidHandle;
  if (AccessOf(h) == 1) return kErrAccessDenied;
  bool partial = false;
  if (const int fault = FaultCheck(kFaultRead, &partial, h); fault != 0) {
    if (!partial) return ErrnoToWin32(fault);
    count /= 2;  // a short read without an error
  }
  char* out = static_cast<char*>(buffer);
  while (*done < count) {
    const ssize_t n =
        offset ? pread(h, out + *done, count - *done, *offset + static_cast<std::int64_t>(*done))
               : read(h, out + *done, count - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    *done += static_cast<std::size_t>(n);
  }
  return 0;
}

int WriteLoop(Handle h, const std::int64_t* offset, const void* buffer, std::size_t count) {
  if (h < 0) return kErrInvalidHandle;
  if (AccessOf(h) == 0) return kErrAccessDenied;
  bool partial = false;
  const int fault = FaultCheck(kFaultWrite, &partial, h);
  if (fault != 0 && !partial) return ErrnoToWin32(fault);
  if (partial) count /= 2;  // half of the bytes reach the file, then the fault
  const char* in = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n =
        offset ? pwrite(h, in + done, count - done, *offset + static_cast<std::int64_t>(done))
               : write(h, in + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) return kErrShortWrite;
    done += static_cast<std::size_t>(n);
  }
  return fault != 0 ? ErrnoToWin32(fault) : 0;
}

// Copies the file `from` into the open descriptor `to`; 0 or an errno.
int CopyInto(const std::string& from, int to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  char buffer[64 * 1024];
  int err = 0;
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : 0;
      break;
    }
    for (ssize_t done = 0; done < n && err == 0;) {
      const ssize_t w = write(to, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) err = w < 0 ? errno : ENOSPC;
      done += w > 0 ? w : 0;
    }
    if (err != 0) break;
  }
  close(in);
  return err;
}

// ReplaceFile where `source` and `target` lie on different file systems (a
// link to another disk): the source is copied beside the target under a
// temporary name, written to the medium and renamed over the target in one
// step, so that the target is the old file or the new one at any moment;
// then the source goes. Returns 0 or a Win32 error; the target is untouched
// on failure.
int MoveAcrossFileSystems(const std::string& source, const std::string& target) {
  struct stat st;
  if (stat(source.c_str(), &st) != 0) return OpenError(errno, source);
  std::string temp = ParentOf(target) + "/OXRXXXXXX.TMP";
  const int fd = mkstemps(temp.data(), 4);
  if (fd < 0) return OpenError(errno, target);
  int err = CopyInto(source, fd);
  if (err == 0 && fchmod(fd, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    return ErrnoToWin32(err);
  }
  unlink(source.c_str());
  return 0;
}

// A range a handle may lock: not empty, no wrap-around, below the sentinel.
bool ValidRange(std::uint64_t offset, std::uint64_t length) {
  return length > 0 && offset < kSentinelOffset && length <= kSentinelOffset - offset;
}

// DOS wildcard match from pattern position p and name position n.
bool MatchFrom(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p,
               bool name_has_dot) {
  while (p < pattern.size()) {
    const char pc = pattern[p];
    if (pc == '*') {
      while (p < pattern.size() && pattern[p] == '*') ++p;
      for (std::size_t k = n; k <= name.size(); ++k) {
        if (MatchFrom(name, k, pattern, p, name_has_dot)) return true;
      }
      return false;
    }
    if (n == name.size()) {
      // "name.*" and "name." also match a name without any dot.
      if (name_has_dot || pc != '.') return false;
      return pattern.find_first_not_of('*', p + 1) == std::string::npos;
    }
    if (pc != '?' &&
        CharUpper(static_cast<unsigned char>(pc)) != CharUpper(static_cast<unsigned char>(name[n])))
      return false;
    ++p;
    ++n;
  }
  return n == name.size();
}

}  // namespace

int ErrnoToWin32(int err) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
      return kErrFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kErrPathNotFound;
    case EMFILE:
    case ENFILE:
      return 4;  // too many open files
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
      return kErrAccessDenied;
    case EBADF:
      return kErrInvalidHandle;
    case ENOMEM:
      return 8;  // not enough memory
    case EXDEV:
      return 17;  // not the same device
    case EAGAIN:
    case EDEADLK:
      return kErrLockViolation;  // only lock requests fail this way
    case EINVAL:
      return kErrInvalidParameter;
    case EEXIST:
      return kErrFileExists;
    case ENOLCK:
      return 50;  // the file system does not support the request
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrDiskFull;
    default:
      return kErrGeneralFailure;
  }
}

std::string ResolvePath(const std::string& name) {
  const std::string path = ToSlashes(name);
  NoteNameForDisplay(path);
  if (path.empty() || Exists(path)) return path;
  std::string done = path[0] == '/' ? "/" : "";
  bool existing = true;  // `done` names something that exists
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    if (existing && !Exists(Join(done, component))) {
      const std::string match =
          component == "." || component == ".." ? "" : FindEntry(done, component);
      if (match.empty()) {
        existing = false;
      } else {
        done = Join(done, match);
        continue;
      }
    }
    done = Join(done, component);
  }
  if (path.back() == '/' && !done.empty() && done.back() != '/') done += '/';
  return done;
}

Handle OpenFile(const std::string& name, int mode, int* error) {
  return OpenShared(name, mode, false, error);
}

Handle CreateFile(const std::string& name, int mode, int* error) {
  if (const int fault = InjectedFault(kFaultCreate, kNoHandle, name.c_str()); fault != 0) {
    if (error != nullptr) *error = fault;
    return kNoHandle;
  }
  return OpenShared(name, mode, true, error);
}

int CloseFile(Handle h) {
  if (h < 0) return kErrInvalidHandle;
  {
    std::lock_guard<std::mutex> guard(g_handles_mutex);
    g_handles.erase(h);
  }
  g_closes.fetch_add(1, std::memory_order_relaxed);
  return close(h) == 0 ? 0 : LastError();
}

std::uint64_t CloseCount() { return g_closes.load(std::memory_order_relaxed); }

int ReadFile(Handle h, void* buffer, std::size_t count, std::size_t* done) {
  return ReadLoop(h, nullptr, buffer, count, done);
}

int WriteFile(Handle h, const void* buffer, std::size_t count) {
  return WriteLoop(h, nullptr, buffer, count);
}

int ReadAt(Handle h, std::int64_t offset, void* buffer, std::size_t count, std::size_t* done) {
  return ReadLoop(h, &offset, buffer, count, done);
}

int WriteAt(Handle h, std::int64_t offset, const void* buffer, std::size_t count) {
  return WriteLoop(h, &offset, buffer, count);
}

int ReadAtIfCached(Handle h, std::int64_t offset, void* buffer, std::size_t count,
                   std::size_t* done, bool* cached) {
  *done = 0;
  *cached = false;
  if (PretendingUncached()) return 0;
  // RWF_NOWAIT: the system reads from its cache only and answers EAGAIN (or
  // fewer bytes) where it would have to wait for the medium. A system
  // without it answers EOPNOTSUPP or EINVAL once; reads go to ReadAt from
  // then on.
  static bool supported = true;
  if (!supported || h < 0 || AccessOf(h) == 1) {
    *cached = true;
    return ReadAt(h, offset, buffer, count, done);
  }
  iovec part{buffer, count};
  const ssize_t n = preadv2(h, &part, 1, offset, RWF_NOWAIT);
  if (n < 0 && (errno == EOPNOTSUPP || errno == EINVAL)) {
    supported = false;
    *cached = true;
    return ReadAt(h, offset, buffer, count, done);
  }
  if (n < 0 || static_cast<std::size_t>(n) != count) return 0;
  // The bytes are read: now it counts as a read call, failed or cut in half
  // as ReadAt would be.
  *cached = true;
  bool partial = false;
  if (const int fault = FaultCheck(kFaultRead, &partial, h); fault != 0 && !partial)
    return ErrnoToWin32(fault);
  *done = partial ? count / 2 : count;
  return 0;
}

namespace {

// Whether a hint to the system about handle h is given: the handle is open
// and no fault plan takes the call (a hint's fault changes nothing else).
bool HintGiven(Handle h) {
  bool partial = false;
  return h >= 0 && FaultCheck(kFaultHint, &partial, h) == 0;
}

}  // namespace

void Prefetch(Handle h, std::int64_t offset, std::size_t count) {
  if (!HintGiven(h)) return;
  posix_fadvise(h, static_cast<off_t>(offset), static_cast<off_t>(count), POSIX_FADV_WILLNEED);
}

void StartWriteBack(Handle h, std::int64_t offset, std::size_t count) {
  if (!HintGiven(h)) return;
#ifdef __linux__
  sync_file_range(h, static_cast<off_t>(offset), static_cast<off_t>(count), SYNC_FILE_RANGE_WRITE);
#endif
}

int WriteAtUndoable(Handle h, std::int64_t offset, const void* buffer, std::size_t count,
                    std::int64_t known_size) {
  std::size_t wanted = count;
  if (known_size >= 0) {
    wanted = static_cast<std::size_t>(
        std::clamp<std::int64_t>(known_size - offset, 0, static_cast<std::int64_t>(count)));
  }
  // Record-sized buffers are kept between calls so that a write does not
  // allocate (the library runs on one thread); large ones are not kept.
  constexpr std::size_t kKept = 64 * 1024;
  static std::vector<char> kept;
  std::vector<char> large;
  std::vector<char>& before = wanted <= kKept ? kept : large;
  before.resize(wanted);
  std::size_t got = 0;
  int err = wanted == 0 ? 0 : ReadAt(h, offset, before.data(), wanted, &got);
  if (err != 0) return err;
  err = WriteAt(h, offset, buffer, count);
  if (err == 0) return 0;
  // Cut first, so that when the disk does not even take the old bytes back
  // the file ends at `offset` (for a table: with its last record, which
  // readers take as the end) rather than with part of the failed write.
  if (got < count) Truncate(h, offset);
  if (got > 0) WriteAt(h, offset, before.data(), got);
  return err;
}

int Seek(Handle h, std::int64_t offset, int origin, std::int64_t* position) {
  if (h < 0) return kErrInvalidHandle;
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2) return kErrInvalidParameter;
  const off_t result = lseek(h, static_cast<off_t>(offset), kWhence[origin]);
  if (result < 0) return LastError();
  if (position != nullptr) *position = result;
  return 0;
}

std::int64_t FileSize(Handle h, int* error) {
  int dummy = 0;
  if (error == nullptr) error = &dummy;
  struct stat st;
  if (h < 0 || fstat(h, &st) != 0) {
    *error = h < 0 ? kErrInvalidHandle : LastError();
    return -1;
  }
  *error = 0;
  return st.st_size;
}

int Truncate(Handle h, std::int64_t size) {
  if (h < 0) return kErrInvalidHandle;
  if (AccessOf(h) == 0) return kErrAccessDenied;
  if (const int fault = InjectedFault(kFaultTruncate, h); fault != 0) return fault;
  return ftruncate(h, static_cast<off_t>(size)) == 0 ? 0 : LastError();
}

int FlushFileBuffers(Handle h) {
  if (h < 0) return kErrInvalidHandle;
  if (AccessOf(h) == 0) return kErrAccessDenied;
  if (const int fault = InjectedFault(kFaultFlush, h); fault != 0) return fault;
  return fsync(h) == 0 ? 0 : LastError();
}

int FlushDirectory(const std::string& name) {
  if (const int fault = InjectedFault(kFaultFlush, kNoHandle, name.c_str()); fault != 0)
    return fault;
  std::string file;
  if (!LinkedFile(ResolvePath(name), &file)) return LastError();
  const int fd = open(ParentOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  const int result = fsync(fd) == 0 ? 0 : LastError();
  close(fd);
  return result;
}

int LockFile(Handle h, std::uint64_t offset, std::uint64_t length) {
  if (h < 0) return kErrInvalidHandle;
  if (!ValidRange(offset, length)) return kErrInvalidParameter;
  std::lock_guard<std::mutex> guard(g_handles_mutex);
  HandleInfo* info = nullptr;
  if (auto it = g_handles.find(h); it != g_handles.end()) {
    info = &it->second;
    for (const auto& [start, len] : info->locks) {
      if (offset < start + len && start < offset + length) return kErrLockViolation;
    }
  }
  if (SetOfdLock(h, F_WRLCK, offset, length) != 0) {
    return (errno == EAGAIN || errno == EACCES) ? kErrLockViolation : LastError();
  }
  if (info != nullptr) info->locks.emplace_back(offset, length);
  return 0;
}

int UnlockFile(Handle h, std::uint64_t offset, std::uint64_t length) {
  if (h < 0) return kErrInvalidHandle;
  if (!ValidRange(offset, length)) return kErrInvalidParameter;
  std::lock_guard<std::mutex> guard(g_handles_mutex);
  auto it = g_handles.find(h);
  if (it != g_handles.end()) {
    auto& locks = it->second.locks;
    auto held = std::find(locks.begin(), locks.end(), std::make_pair(offset, length));
    if (held == locks.end()) return kErrNotLocked;
    locks.erase(held);
  }
  return SetOfdLock(h, F_UNLCK, offset, length) == 0 ? 0 : LastError();
}

int DeleteFile(const std::string& name) {
  const std::string path = ResolvePath(name);
  if (HeldElsewhere(path)) return kErrSharingViolation;
  if (const int fault = InjectedFault(kFaultDelete, kNoHandle, name.c_str()); fault != 0)
    return fault;
  return unlink(path.c_str()) == 0 ? 0 : OpenError(errno, path);
}

int RenameFile(const std::string& from, const std::string& to) {
  const std::string source = ResolvePath(from);
  std::string target = ResolvePath(to);
  if (target == source) {
    // Only the case of the name changes: the new name as given, in the
    // resolved directory.
    const std::string given = ToSlashes(to);
    const std::size_t slash = given.find_last_of('/');
    const std::string last = slash == std::string::npos ? given : given.substr(slash + 1);
    const std::size_t target_slash = target.find_last_of('/');
    target = (target_slash == std::string::npos ? "" : target.substr(0, target_slash + 1)) + last;
    if (target == source) return 0;
  }
  if (HeldElsewhere(source)) return kErrSharingViolation;
  if (const int fault = InjectedFault(kFaultRename, kNoHandle, from.c_str()); fault != 0)
    return fault;
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno == EINVAL) {  // file system without RENAME_NOREPLACE
    if (Exists(target)) return kErrAlreadyExists;
    return rename(source.c_str(), target.c_str()) == 0 ? 0 : OpenError(errno, target);
  }
  if (errno == EEXIST) return kErrAlreadyExists;
  return OpenError(errno, errno == ENOENT && Exists(source) ? target : source);
}

int ReplaceFile(const std::string& from, const std::string& to) {
  const std::string source = ResolvePath(from);
  std::string target;
  if (!LinkedFile(ResolvePath(to), &target)) return LastError();
  if (HeldElsewhere(source) || HeldElsewhere(target)) return kErrSharingViolation;
  if (const int fault = InjectedFault(kFaultRename, kNoHandle, from.c_str()); fault != 0)
    return fault;
  if (rename(source.c_str(), target.c_str()) == 0) return 0;
  if (errno == EXDEV) return MoveAcrossFileSystems(source, target);
  return OpenError(errno, errno == ENOENT && Exists(source) ? target : source);
}

bool FileExists(const std::string& name) {
  struct stat st;
  return !name.empty() && stat(ResolvePath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool WildcardMatch(const std::string& name, const std::string& pattern) {
  return MatchFrom(name, 0, pattern, 0, name.find('.') != std::string::npos);
}

std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern,
                                   int* error) {
  int dummy = 0;
  if (error == nullptr) error = &dummy;
  const std::string dir = directory.empty() ? "." : ResolvePath(directory);
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) {
    *error = kErrPathNotFound;
    return names;
  }
  *error = 0;
  while (dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    struct stat st;
    if (stat(Join(dir, entry).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (WildcardMatch(NameKey(entry), NameKey(pattern))) names.push_back(entry);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::string FullPath(const std::string& name) {
  std::string path = ToSlashes(name);
  if (path.empty() || path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return path;
    path = Join(cwd, path);
  }
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(component);
    }
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  if (out.empty()) return "/";
  return out;
}

std::string TempPath() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env != nullptr && *env != '\0' ? env : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

int TempFileName(const std::string& directory, const std::string& prefix, std::string* name) {
  std::string dir = ToSlashes(directory);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  dir = ResolvePath(dir);
  std::string pattern = dir + prefix.substr(0, 3) + "XXXXXX.TMP";
  const int fd = mkstemps(pattern.data(), 4);
  if (fd < 0) return OpenError(errno, pattern);
  close(fd);
  if (name != nullptr) *name = pattern;
  return 0;
}

bool DiskFreeSpace(const std::string& path, DiskSpace* space) {
  const std::string target = path.empty() ? "." : ResolvePath(path);
  struct statvfs vfs;
  if (statvfs(target.c_str(), &vfs) != 0) return false;
  constexpr std::uint64_t kLimit = 0xFFFFFFFFu;
  constexpr std::uint64_t kSector = 512;
  const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
  std::uint64_t free_bytes = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
  if (FreeSpaceLimit() >= 0)
    free_bytes = std::min(free_bytes, static_cast<std::uint64_t>(FreeSpaceLimit()));
  std::uint64_t total_bytes = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
  // Clusters of the file system's fragment size, made larger (by doubling)
  // until the free count fits 32 bits; beyond 2^31 sectors per cluster the
  // count is capped.
  std::uint64_t sectors = std::max<std::uint64_t>(1, unit / kSector);
  while (free_bytes / (sectors * kSector) > kLimit && sectors <= (std::uint64_t{1} << 30))
    sectors *= 2;
  const std::uint64_t cluster = sectors * kSector;
  space->bytes_per_sector = kSector;
  space->sectors_per_cluster = static_cast<std::uint32_t>(sectors);
  space->free_clusters = static_cast<std::uint32_t>(std::min(free_bytes / cluster, kLimit));
  space->total_clusters = static_cast<std::uint32_t>(std::min(total_bytes / cluster, kLimit));
  return true;
}

}  // namespace orvex::os
