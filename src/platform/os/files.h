// The one door to the file system. Every file operation of the library goes
// through these functions, which mirror the Win32 file services the library was
// written against: numbered open modes with share modes, byte-range locks, and
// Win32 error numbers (2 = not found, 5 = access denied, 32 = sharing
// violation, 33 = lock violation, ...).
//
// Share modes are emulated with an open-file-description lock on one sentinel
// byte far beyond any data (offset 2^62): deny-none takes it shared, every
// other share mode takes it exclusive. Byte-range locks are OFD write locks, so
// they belong to the open file: closing another handle of the same file never
// drops them, and two handles of one process exclude each other like two
// programs do.
//
// Names: when a path does not exist exactly as given, each component is looked
// up case-insensitively (MOVIE_R.DBF finds movie_r.dbf). Both '/' and '\\'
// separate directories. A name is not table text: it reaches the system as
// the bytes the caller gave (UTF-8 here), and new files are created under
// exactly those bytes. The case-insensitive lookup upper-cases the characters
// Windows-1252 holds and compares the others as they are; a name that is not
// UTF-8 is read as Windows-1252 there, so library text still finds the file
// its UTF-8 form names.
//
// Tests can make chosen calls fail (fault_injection.h).
//
// Handles are opened for reading and writing internally whenever the process
// may write the file, so that locks can be exclusive; the access asked for is
// still enforced (a write through a read-only handle answers 5).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::os {

using Handle = int;
inline constexpr Handle kNoHandle = -1;

// Open modes: access in the low nibble, share mode in the high nibble.
inline constexpr int kOpenRead = 0x00;                // read-only, compatibility share
inline constexpr int kOpenReadWrite = 0x02;           // read/write, compatibility share
inline constexpr int kOpenReadWriteDenyNone = 0x42;   // read/write, others may do anything
inline constexpr int kOpenReadWriteExclusive = 0x12;  // read/write, deny all others
inline constexpr int kOpenReadDenyNone = 0x40;        // read-only, others may do anything

// Win32 error numbers produced by this layer.
inline constexpr int kErrFileNotFound = 2;
inline constexpr int kErrPathNotFound = 3;
inline constexpr int kErrAccessDenied = 5;
inline constexpr int kErrInvalidHandle = 6;
inline constexpr int kErrInvalidAccess = 12;  // an open mode this layer does not know
inline constexpr int kErrSharingViolation = 32;
inline constexpr int kErrLockViolation = 33;
inline constexpr int kErrGeneralFailure = 31;  // an errno without a closer match
inline constexpr int kErrFileExists = 80;
inline constexpr int kErrInvalidParameter = 87;
inline constexpr int kErrDiskFull = 112;
inline constexpr int kErrNotLocked = 158;      // unlock of a range the handle did not lock
inline constexpr int kErrAlreadyExists = 183;  // rename onto an existing name
inline constexpr int kErrShortRead = 100;
inline constexpr int kErrShortWrite = 101;

// Maps an errno value to the Win32 error number the library reports:
// ENOENT 2; ENOTDIR, ENAMETOOLONG, ELOOP 3; EMFILE, ENFILE 4; EACCES, EPERM,
// EROFS, EISDIR, ETXTBSY, EBUSY 5; EBADF 6; ENOMEM 8; EXDEV 17; EAGAIN,
// EDEADLK 33 (only lock requests fail so); ENOLCK 50; EEXIST 80; EINVAL 87;
// ENOSPC, EDQUOT, EFBIG 112; 0 stays 0; anything else 31 (general failure).
int ErrnoToWin32(int err);

// Returns the existing file or directory that `name` denotes, resolving each
// component case-insensitively when the exact path does not exist. When
// nothing matches, the name is returned with its existing leading directories
// resolved and the rest as given (so a new file is created where expected).
std::string ResolvePath(const std::string& name);

// Opens an existing file in `mode`. Returns the handle, or kNoHandle with
// *error set to the Win32 error number (2 file or 3 directory missing, 5 for a
// directory, 12 for an unknown mode, 32 when the share mode conflicts with
// another open of the file).
Handle OpenFile(const std::string& name, int mode, int* error);

// Creates the file anew (truncating an existing one) in `mode`; fails with 32
// when another open of an existing file forbids it, and then leaves the file
// untouched.
Handle CreateFile(const std::string& name, int mode, int* error);

// Closes the handle; its locks go with it. Returns 0 or a Win32 error.
int CloseFile(Handle h);

// How many handles CloseFile has closed so far: a handle number kept across
// a change of this count may name another file now.
std::uint64_t CloseCount();

// Reads up to `count` bytes at the current position; *done gets the number
// read (fewer at end of file). Returns 0 or a Win32 error.
int ReadFile(Handle h, void* buffer, std::size_t count, std::size_t* done);

// Writes `count` bytes at the current position; a short write returns 112
// (disk full) or the mapped errno, or 101 when the system wrote nothing
// without saying why. Returns 0 or a Win32 error.
int WriteFile(Handle h, const void* buffer, std::size_t count);

// Positioned read and write that do not move the file position.
int ReadAt(Handle h, std::int64_t offset, void* buffer, std::size_t count, std::size_t* done);
int WriteAt(Handle h, std::int64_t offset, const void* buffer, std::size_t count);

// ReadAt for a caller that can put the waiting to use: when every byte asked
// for is in the system's file cache it reads them like ReadAt (*cached true);
// when some must come from the medium it reads nothing and answers 0 with
// *cached false, so that the caller can first ask for other bytes it will
// need soon (Prefetch) and then wait for all of them at once with ReadAt. A
// read that meets the end of the file counts as not cached (ReadAt then
// says where the file ends). Where the system cannot tell, it reads like
// ReadAt and answers *cached true. Only a read that reads is a read call for fault injection and
// the recording of calls, so the calls counted do not depend on what the
// system holds.
int ReadAtIfCached(Handle h, std::int64_t offset, void* buffer, std::size_t count,
                   std::size_t* done, bool* cached);

// Asks the system to start reading [offset, offset+count) of the file into
// its cache in the background (posix_fadvise WILLNEED) and returns at once.
// A hint only: nothing is read into the program and the file's bytes are
// read by the next read call as they are then; an error is of no
// consequence to the caller and is not reported. Recorded as a kFaultHint
// call, which the fault plans do not count.
void Prefetch(Handle h, std::int64_t offset, std::size_t count);

// Asks the system to start writing [offset, offset+count) of the file from
// its cache to the medium in the background (Linux: sync_file_range with
// SYNC_FILE_RANGE_WRITE) and returns without waiting for the medium, so that
// a writer of a large file pays less at its closing FlushFileBuffers. A hint
// only: it makes nothing durable (FlushFileBuffers still does that), and an
// error is of no consequence to the caller and is not reported. Where the
// system has no such request it does nothing. Recorded as a kFaultHint call,
// which the fault plans do not count.
void StartWriteBack(Handle h, std::int64_t offset, std::size_t count);

// WriteAt that leaves the file as it was when the write fails (a full disk
// may store part of it, a medium error any part): the bytes about to be
// replaced are read first; after a failed write the file is cut back to
// `offset` when the write reached beyond its end, and those bytes are put
// back. When even that fails, the file ends at `offset` or holds the bytes
// the failed write left. `known_size`, when not negative, is the file's size
// as the caller knows it for certain (nobody else can change the file): bytes
// at or beyond it are not read, so a write at the end costs no read. Returns
// 0, or the error of the first read or of the write.
int WriteAtUndoable(Handle h, std::int64_t offset, const void* buffer, std::size_t count,
                    std::int64_t known_size = -1);

// Moves the file position. `origin`: 0 = start, 1 = current, 2 = end.
// *position gets the new position when not null. Returns 0 or a Win32 error.
int Seek(Handle h, std::int64_t offset, int origin, std::int64_t* position);

// Size of the open file in bytes, or -1 with *error set.
std::int64_t FileSize(Handle h, int* error);

// Cuts or extends the open file to `size` bytes.
int Truncate(Handle h, std::int64_t size);

// Writes buffered data of the file to the medium (FlushFileBuffers).
int FlushFileBuffers(Handle h);

// Writes the directory entry changes (creations, renames, deletions) of the
// directory that holds `name` (the linked file's, when `name` is a symbolic
// link, as ReplaceFile replaces) to the medium, so that a rename that must
// survive a power loss does. Returns 0 or a Win32 error.
int FlushDirectory(const std::string& name);

// Byte-range locks: an exclusive lock of [offset, offset+length). A conflict
// with another open file description answers 33 at once (no waiting). As on
// Windows, a handle cannot lock a range overlapping one it holds (33), and an
// unlock must name exactly a locked range (158 otherwise). Ranges must be
// non-empty and end at or below 2^62, where the share sentinel lies (87).
int LockFile(Handle h, std::uint64_t offset, std::uint64_t length);
int UnlockFile(Handle h, std::uint64_t offset, std::uint64_t length);

// Deletes / renames a file. Return 0 or a Win32 error: 32 while the file is
// open through this layer (in this process or another), and for a rename 183
// when the new name exists already.
int DeleteFile(const std::string& name);
int RenameFile(const std::string& from, const std::string& to);

// Renames `from` to `to`, replacing an existing `to` in one atomic step (a
// program killed at any moment leaves either the old or the new file under
// that name; MoveFileEx with MOVEFILE_REPLACE_EXISTING). 32 while either file
// is open through this layer. A file is replaced where it really lives: when
// `to` is a symbolic link (or a chain of them), the file it names is replaced
// and the link stays a link (3 for a chain of more than 40 links). When that
// file lies on another file system than `from`, `from` is copied beside it
// and renamed into place, as atomic as on one file system. Returns 0 or a
// Win32 error.
int ReplaceFile(const std::string& from, const std::string& to);

// True when a regular file of that name exists (case-insensitively resolved).
bool FileExists(const std::string& name);

// Names (without directory, as they are on disk) of the regular files in
// `directory` whose names match the DOS wildcard `pattern` ('*' and '?',
// case-insensitive as the lookup of names is, "*.*" matches names without a
// dot too). *error gets 0, or 3 when the directory
// cannot be read.
// The DOS wildcard match used by FindFiles.
bool WildcardMatch(const std::string& name, const std::string& pattern);

std::vector<std::string> FindFiles(const std::string& directory, const std::string& pattern,
                                   int* error);

// The full path of `name` against the current directory; "." and ".."
// components are folded. '\\' is turned into '/'.
std::string FullPath(const std::string& name);

// The directory for temporary files: $TMPDIR or /tmp, with a trailing '/'.
std::string TempPath();

// Creates a new, empty temporary file "<dir>OXPxxxxxx.TMP" in `directory` with
// the given prefix (its first three characters) and returns its name in *name.
// An empty directory means the current one. Returns 0 or a Win32 error.
int TempFileName(const std::string& directory, const std::string& prefix, std::string* name);

// Free space of the file system that holds `path` (GetDiskFreeSpaceA). An
// empty path means the current directory. False when it cannot be queried.
// Sectors are 512 bytes; clusters are the file system's fragment size, made
// larger as needed so that the free count fits 32 bits (counts beyond that are
// capped at 0xFFFFFFFF). The free count is what the caller may use.
struct DiskSpace {
  std::uint32_t sectors_per_cluster = 0;
  std::uint32_t bytes_per_sector = 0;
  std::uint32_t free_clusters = 0;
  std::uint32_t total_clusters = 0;
};
bool DiskFreeSpace(const std::string& path, DiskSpace* space);

}  // namespace orvex::os
