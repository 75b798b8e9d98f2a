// Reads of a file that other programs may change, served from a read-only
// shared mapping of it: the same bytes a positioned read gives, without a
// system call per read.
//
// What a read through a MappedReader promises is exactly what ReadAt gives
// for the same handle, offset and count at that moment:
//   - other processes' writes show at once: a shared mapping and a read both
//     look at the system's one cached copy of the file;
//   - appends show: the mapping is made larger than the file (pages behind
//     the end turn readable when the file grows into them), and made anew
//     when a read reaches beyond it;
//   - the end of the file is where ReadAt finds it. Bytes of the last page
//     behind the file's end read as zeros from a mapping, so a copy whose
//     last byte and the byte behind it are both zero is read again with
//     ReadAt, which knows where the file ends (a record ending in a zero
//     byte before another zero, or at the end of the file, costs a system
//     call); a page wholly behind the end (a file cut short by another
//     program) raises SIGBUS in the copy, which a handler turns back into
//     that read with ReadAt. Nothing crashes, and the caller gets ReadAt's
//     answer: a short read or the error.
//   - fault injection counts each read as one read call (kFaultRead), fails
//     it as it fails ReadAt, and a partial read returns the first half.
//
// The SIGBUS handler is installed at a mapping when SIGBUS is not already
// handled by it. It acts only on a fault at an address inside the copy under
// way on the faulting thread; any other SIGBUS goes to the handler it found
// installed (or, when there was none, ends the process as SIGBUS does).
//
// The mapping holds no lock: it is made through a descriptor of its own, so
// that the share mode and the byte-range locks of a handle go when the
// handle is closed, as without it.
//
// A reader belongs to one thread at a time; a mapping is dropped and made
// anew when the handle is another one, or when this layer has closed a handle
// since it was made (the number may now name another file). A file that
// cannot be mapped (a file system without mappings, a handle open for
// writing only) is read with ReadAt until then.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/files.h"

namespace orvex::os {

class MappedReader {
 public:
  MappedReader() = default;
  ~MappedReader();
  MappedReader(const MappedReader&) = delete;
  MappedReader& operator=(const MappedReader&) = delete;

  // Reads `count` bytes at `offset` of `file`, with ReadAt's result: 0 or a
  // Win32 error, *done the bytes read (fewer at the end of the file).
  int ReadAt(Handle file, std::int64_t offset, void* buffer, std::size_t count, std::size_t* done);

  // Drops the mapping (the next read maps again).
  void Reset();

 private:
  // Maps `file` to cover at least `end` bytes; false when it cannot be mapped.
  bool Map(Handle file, std::int64_t end);

  const char* base_ = nullptr;
  std::size_t length_ = 0;
  Handle file_ = kNoHandle;   // the file mapped, or found unmappable
  std::uint64_t closes_ = 0;  // CloseCount() then
};

}  // namespace orvex::os
