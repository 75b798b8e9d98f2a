// Reads through a shared mapping, guarded against files cut short.
#include "platform/os/mapped_reads.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/os/fault_injection.h"

namespace orvex::os {

namespace {

// The copy under way on this thread: where it reads, and where a fault there
// jumps to. Set only around the copy; read by the SIGBUS handler.
struct GuardedCopy {
  const char* begin = nullptr;
  const char* end = nullptr;
  sigjmp_buf* resume = nullptr;
};
thread_local GuardedCopy t_copy;

struct sigaction g_previous_bus;
thread_local bool t_chaining = false;

void OnBus(int signal, siginfo_t* info, void* context) {
  GuardedCopy& copy = t_copy;
  const char* at = static_cast<const char*>(info->si_addr);
  if (copy.resume != nullptr && at >= copy.begin && at < copy.end) {
    sigjmp_buf* resume = copy.resume;
    copy.resume = nullptr;
    // SA_NODEFER left SIGBUS unblocked, so the jump needs no mask restored.
    siglongjmp(*resume, 1);
  }
  // A handler before ours that hands the signal back to us (it took ours
  // for its own "previous" one) would make a loop: the process then ends.
  const bool looped = t_chaining;
  t_chaining = true;
  if (!looped && (g_previous_bus.sa_flags & SA_SIGINFO) != 0 &&
      g_previous_bus.sa_sigaction != nullptr) {
    g_previous_bus.sa_sigaction(signal, info, context);
  } else if (!looped && g_previous_bus.sa_handler != SIG_DFL &&
             g_previous_bus.sa_handler != SIG_IGN) {
    g_previous_bus.sa_handler(signal);
  } else {
    // No handler before ours: the process ends by SIGBUS, as it would have.
    ::signal(SIGBUS, SIG_DFL);
    raise(SIGBUS);
  }
  t_chaining = false;
}

// Puts OnBus in front of whatever handles SIGBUS now, unless it is there:
// at every new mapping, so that a handler the program installs later (in
// place of ours) still gets the faults that are not ours.
void InstallBusHandler() {
  struct sigaction current {};
  if (sigaction(SIGBUS, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == OnBus) return;
  struct sigaction action {};
  action.sa_sigaction = OnBus;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  g_previous_bus = current;
  sigaction(SIGBUS, &action, nullptr);
}

// Copies `count` bytes from the mapping; false when a page of them lies
// behind the end of the file (SIGBUS).
bool CopyOut(void* to, const char* from, std::size_t count) {
  sigjmp_buf resume;
  // No signal mask is saved: that would cost a system call per copy.
  if (sigsetjmp(resume, 0) != 0) return false;
  t_copy.begin = from;
  t_copy.end = from + count;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_copy.resume = &resume;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(to, from, count);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_copy.resume = nullptr;
  return true;
}

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

MappedReader::~MappedReader() { Reset(); }

void MappedReader::Reset() {
  if (base_ != nullptr) munmap(const_cast<char*>(base_), length_);
  base_ = nullptr;
  length_ = 0;
  file_ = kNoHandle;
}

bool MappedReader::Map(Handle file, std::int64_t end) {
  Reset();
  // Remembered also when the mapping fails, so that a file that cannot be
  // mapped costs no attempt per read.
  file_ = file;
  closes_ = CloseCount();
  int err = 0;
  const std::int64_t size = FileSize(file, &err);
  if (size < 0) return false;
  // Room behind the file's end for the appends of a while (an eighth of the
  // file, at least a mebibyte): the pages turn readable as the file grows,
  // so that a walk that follows appends rarely maps again.
  const std::int64_t wanted = std::max(end, size) + std::max<std::int64_t>(size / 8, 1 << 20);
  const std::size_t page = PageSize();
  const std::size_t length = (static_cast<std::size_t>(wanted) + page - 1) / page * page;
  // Mapped through a descriptor of its own, closed at once: a mapping keeps
  // the open file it was made from alive, and with it that file's share
  // lock and byte-range locks, which must go when the handle is closed.
  const std::string own_name = "/proc/self/fd/" + std::to_string(file);
  const int own = open(own_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (own < 0) return false;
  void* base = mmap(nullptr, length, PROT_READ, MAP_SHARED, own, 0);
  close(own);
  if (base == MAP_FAILED) return false;
  InstallBusHandler();
  base_ = static_cast<const char*>(base);
  length_ = length;
  return true;
}

int MappedReader::ReadAt(Handle file, std::int64_t offset, void* buffer, std::size_t count,
                         std::size_t* done) {
  *done = 0;
  // One byte behind the range is looked at too (see the header).
  const std::int64_t end = offset + static_cast<std::int64_t>(count) + 1;
  const bool same_file = file == file_ && closes_ == CloseCount();
  const bool mapped = same_file && base_ != nullptr && end <= static_cast<std::int64_t>(length_);
  const bool unmappable = same_file && base_ == nullptr;
  if (offset < 0 || count == 0 || unmappable || (!mapped && !Map(file, end))) {
    return os::ReadAt(file, offset, buffer, count, done);
  }
  const char* from = base_ + offset;
  // The last byte of the range and the one behind it: a last byte that is
  // not zero lies inside the file, and so does everything before it; else a
  // byte behind it that is not zero does. They are looked at before the
  // fault point, so that a failed read leaves the buffer as ReadAt does.
  char tail[2];
  if (!CopyOut(tail, from + count - 1, 2) || (tail[0] == 0 && tail[1] == 0)) {
    return os::ReadAt(file, offset, buffer, count, done);
  }
  bool partial = false;
  if (const int fault = FaultCheck(kFaultRead, &partial, file); fault != 0) {
    if (!partial) return ErrnoToWin32(fault);
    count /= 2;  // a short read without an error
  }
  // A file cut short between the look at its tail and this copy: ReadAt
  // then answers (with fault injection armed this race would count the
  // read twice).
  if (!CopyOut(buffer, from, count)) return os::ReadAt(file, offset, buffer, count, done);
  *done = count;
  return 0;
}

}  // namespace orvex::os
