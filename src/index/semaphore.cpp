#include "index/semaphore.h"

#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include "common/errors.h"
#include "common/names.h"
#include "engine/locks.h"
#include "engine/work_area.h"
#include "platform/os/files.h"
#include "platform/os/system.h"

namespace orvex {

std::string SemaphoreDirectory;
std::uint16_t SemaphoreTimeoutTicks = 1820;
int SemaphoreLockWaitMs = 10000;

namespace {

// Every program counted as a reader holds a lock on one byte of its own
// among kPresenceBytes bytes from kPresenceOffset (beyond the record, which
// other programs lock only at bytes 1-4). The system drops the locks of a
// program that ends, however it ends; so a reader count higher than the
// number of held presence bytes is left behind by programs that are gone.
constexpr std::uint64_t kPresenceOffset = 64;
constexpr int kPresenceBytes = 128;  // the count stops at 127

struct SemaphoreState {
  os::Handle file = os::kNoHandle;
  std::string name;
  std::uint8_t record[4] = {};
  int user = 0;
  std::uint16_t last_seen = 0;
  bool holds_region = false;
  bool reader = false;
  int presence = -1;      // the presence byte held while counted as a reader
  int read_entries = 0;   // nesting of INCREAD / DECREAD
  int lock_entries = 0;   // nesting of LOCKSEMAPHORE / UNLOCKSEMAPHORE
};

std::array<std::unique_ptr<SemaphoreState>, kWorkAreaSlots + 1> States;
// Nesting of the two brackets per area (kept apart from the state, so that
// brackets balance the same way with or without a semaphore file).
std::array<int, kWorkAreaSlots + 1> ReadBrackets{};
std::array<int, kWorkAreaSlots + 1> LockBrackets{};

std::uint16_t Counter(const SemaphoreState& s) { return static_cast<std::uint16_t>(s.record[2] | s.record[3] << 8); }

// Tries `attempt` until it succeeds or `total_ms` have passed, sleeping 1,
// 2, 4 ... up to 100 ms between tries and letting the GUI breathe.
template <typename Attempt>
bool RetryWithSleeps(int total_ms, Attempt attempt) {
  auto start = std::chrono::steady_clock::now();
  int pause = 1;
  for (;;) {
    if (attempt()) return true;
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (waited.count() >= total_ms) return false;
    os::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    pause = pause < 100 ? pause * 2 : 100;
  }
}

bool ReadRecord(SemaphoreState& s, const char* action) {
  std::size_t done = 0;
  int err = os::ReadAt(s.file, 0, s.record, 4, &done);
  if (err == 0 && done != 4) err = os::kErrShortRead;
  if (err != 0) {
    SetError(err, "Cannot read: " + s.name + " " + action);
    return false;
  }
  return true;
}

bool WriteRecord(SemaphoreState& s, const char* action) {
  int err = os::WriteAt(s.file, 0, s.record, 4);
  if (err != 0) {
    SetError(err, "Cannot write to: " + s.name + " " + action);
    return false;
  }
  return true;
}

bool LockRegion(SemaphoreState& s, const char* action) {
  int result = 0;
  if (RetryWithSleeps(SemaphoreLockWaitMs, [&] { return (result = LockRange(s.file, true, 1, 4)) == 0; })) {
    return true;
  }
  SetError(1202, std::string("10 second timeout: Cannot lock index semaphore file: ") + s.name + " " + action +
                     "\r\nPossible cause: Network lock limit exceeded\r\n Lock result code: " +
                     std::to_string(result));
  return false;
}

bool UnlockRegion(SemaphoreState& s, const char* action) {
  int err = LockRange(s.file, false, 1, 4);
  if (err != 0) {
    SetError(err, "Cannot unlock index semaphore file: " + s.name + " " + action + " Reason code: " +
                      std::to_string(err));
    return false;
  }
  return true;
}

// Takes a free presence byte for this program's reader registration.
void TakePresence(SemaphoreState& s) {
  if (!NetworkLocking) return;
  for (int i = 0; i < kPresenceBytes && s.presence < 0; ++i) {
    if (os::LockFile(s.file, kPresenceOffset + static_cast<std::uint64_t>(i), 1) == 0)
      s.presence = i;
  }
}

void DropPresence(SemaphoreState& s) {
  if (s.presence < 0) return;
  os::UnlockFile(s.file, kPresenceOffset + static_cast<std::uint64_t>(s.presence), 1);
  s.presence = -1;
}

// The readers that are still running: this program's own registration and
// every presence byte another program holds. Asked under the region lock,
// when no registration can come or go.
int LiveReaders(SemaphoreState& s) {
  int live = s.reader ? 1 : 0;
  for (int i = 0; i < kPresenceBytes; ++i) {
    if (i == s.presence) continue;
    const std::uint64_t offset = kPresenceOffset + static_cast<std::uint64_t>(i);
    if (os::LockFile(s.file, offset, 1) == 0) {
      os::UnlockFile(s.file, offset, 1);
    } else {
      ++live;
    }
  }
  return live;
}

bool LockDatabase(WorkArea& table, const std::string& name, const char* action) {
  if (RetryWithSleeps(SemaphoreLockWaitMs, [&] { return LockRange(table.file, true, LockBase, 1) == 0; })) {
    return true;
  }
  SetError(1202, "Cannot lock database for: " + name + " Action=" + action + " [Database Semaphore]");
  return false;
}

void UnlockDatabase(WorkArea& table) { LockRange(table.file, false, LockBase, 1); }

// Creates the semaphore file anew, or opens the one other programs hold.
// `quiet` answers a folder that cannot be written without an error.
bool OpenSemaphoreFile(SemaphoreState& s, bool quiet, bool* skipped) {
  int err = 0;
  os::Handle fresh = os::CreateFile(s.name, os::kOpenReadWrite, &err);
  if (fresh != os::kNoHandle) {
    std::uint8_t zeros[4] = {};
    err = os::WriteAt(fresh, 0, zeros, 4);
    os::CloseFile(fresh);
    if (err != 0) {
      // A reader on a full disk or a read-only medium goes without one.
      os::DeleteFile(s.name);
      if (quiet) {
        *skipped = true;
        return false;
      }
      SetError(err, "Cannot write to: " + s.name + " LOGIN");
      return false;
    }
    s.file = os::OpenFile(s.name, os::kOpenReadWriteDenyNone, &err);
    if (s.file == os::kNoHandle) {
      SetError(err, "Cannot open/create: " + s.name + " LOGIN");
      return false;
    }
    if (!LockRegion(s, "LOGIN")) return false;
    s.record[0] = s.record[1] = s.record[2] = s.record[3] = 0;
    return true;
  }
  bool in_use = err == 3 || err == 5 || err == 32 || err == 150 || err == 162 || err == 163;
  if (in_use) {
    int open_err = 0;
    s.file = os::OpenFile(s.name, os::kOpenReadWriteDenyNone, &open_err);
    if (s.file != os::kNoHandle) return LockRegion(s, "LOGIN") && (ReadRecord(s, "LOGIN") || (UnlockRegion(s, "LOGIN"), false));
    err = open_err;
  }
  if (quiet) {
    *skipped = true;
    return false;
  }
  SetError(err, "Cannot open/create: " + s.name + " " + std::to_string(err));
  return false;
}

bool Login(int area, bool quiet) {
  if (States[static_cast<std::size_t>(area)]) return true;
  WorkArea& table = *WorkAreas[static_cast<std::size_t>(area)];
  auto s = std::make_unique<SemaphoreState>();
  s->name = SemaphoreFileName(table.file_name);
  if (!LockDatabase(table, s->name, "LOGIN")) return false;
  bool skipped = false;
  bool ok = OpenSemaphoreFile(*s, quiet, &skipped);
  if (ok) {
    s->record[0] = static_cast<std::uint8_t>(s->record[0] + 1);
    s->user = s->record[0];
    ok = WriteRecord(*s, "LOGIN");
    UnlockRegion(*s, "LOGIN");
    s->last_seen = Counter(*s);
  }
  UnlockDatabase(table);
  if (!ok) {
    if (s->file != os::kNoHandle) os::CloseFile(s->file);
    return false;
  }
  States[static_cast<std::size_t>(area)] = std::move(s);
  return true;
}

bool Logout(int area) {
  auto& slot = States[static_cast<std::size_t>(area)];
  if (!slot) return true;
  std::unique_ptr<SemaphoreState> s = std::move(slot);
  WorkArea& table = *WorkAreas[static_cast<std::size_t>(area)];
  bool ok = LockDatabase(table, s->name, "LOGOUT");
  bool locked = ok && (s->holds_region || LockRegion(*s, "LOGOUT"));
  bool last = false;
  if (locked && ReadRecord(*s, "LOGOUT")) {
    if (s->reader && s->record[1] > 0) s->record[1] = static_cast<std::uint8_t>(s->record[1] - 1);
    if (s->holds_region) s->record[1] = 0;
    if (s->record[0] > 0) s->record[0] = static_cast<std::uint8_t>(s->record[0] - 1);
    last = s->record[0] == 0;
    ok = WriteRecord(*s, "LOGOUT");
  }
  if (locked) UnlockRegion(*s, "LOGOUT");
  os::CloseFile(s->file);
  if (last) os::DeleteFile(s->name);
  if (ok) UnlockDatabase(table);
  return ok;
}

bool IncRead(SemaphoreState& s) {
  if (s.read_entries++ > 0 || s.holds_region || s.reader) return true;
  TakePresence(s);
  if (!LockRegion(s, "INCREAD")) {
    DropPresence(s);
    return false;
  }
  s.reader = true;
  bool ok = ReadRecord(s, "INCREAD");
  if (ok) {
    if (static_cast<std::int8_t>(s.record[1]) < 127) s.record[1] = static_cast<std::uint8_t>(s.record[1] + 1);
    ok = WriteRecord(s, "INCREAD");
  }
  return UnlockRegion(s, "INCREAD") && ok;
}

bool DecRead(SemaphoreState& s) {
  if (--s.read_entries < 0) {
    s.read_entries = 0;
    SetError(254, "Unbalanced IncRead/DecRead for semaphore file: " + s.name);
    return false;
  }
  if (s.read_entries > 0 || !s.reader || s.holds_region) return true;
  if (!LockRegion(s, "DECREAD")) return false;
  s.reader = false;
  bool ok = ReadRecord(s, "DECREAD");
  if (ok) {
    if (static_cast<std::int8_t>(s.record[1]) > 0) s.record[1] = static_cast<std::uint8_t>(s.record[1] - 1);
    ok = WriteRecord(s, "DECREAD");
  }
  DropPresence(s);
  return UnlockRegion(s, "DECREAD") && ok;
}

bool LockSemaphore(SemaphoreState& s) {
  if (s.lock_entries++ > 0 || s.holds_region) return true;
  const std::uint32_t start = os::GetTickCount();
  int pause = 1;
  for (;;) {
    if (!LockRegion(s, "LOCKSEMAPHORE")) break;
    if (!ReadRecord(s, "LOCKSEMAPHORE")) {
      UnlockRegion(s, "LOCKSEMAPHORE");
      break;
    }
    // Registrations of programs that are gone are cleared: a reader or a
    // writer killed while counted must not keep every later writer waiting.
    if (NetworkLocking && static_cast<std::int8_t>(s.record[1]) > (s.reader ? 1 : 0)) {
      const int live = LiveReaders(s);
      if (static_cast<std::int8_t>(s.record[1]) > live)
        s.record[1] = static_cast<std::uint8_t>(live);
    }
    // Our own reader registration does not keep us out.
    int readers = static_cast<std::int8_t>(s.record[1]) - (s.reader ? 1 : 0);
    if (readers <= 0) {
      s.record[1] = 1;
      if (!WriteRecord(s, "LOCKSEMAPHORE")) {
        UnlockRegion(s, "LOCKSEMAPHORE");
        break;
      }
      s.holds_region = true;
      return true;
    }
    UnlockRegion(s, "LOCKSEMAPHORE");
    std::uint32_t ticks = static_cast<std::uint32_t>((os::GetTickCount() - start) * 182ull / 10000);
    if (SemaphoreTimeoutTicks != 0 && ticks > SemaphoreTimeoutTicks) {
      SetError(1202, std::to_string(SemaphoreTimeoutTicks / 18) + " second timeout, cannot read: " + s.name +
                         "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
                         "Cure: Log all users of this application off the network,\r\nthen delete " + s.name);
      break;
    }
    os::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    pause = pause < 50 ? pause * 2 : 50;
  }
  s.lock_entries = 0;
  return false;
}

bool UnlockSemaphore(SemaphoreState& s) {
  if (--s.lock_entries < 0) {
    s.lock_entries = 0;
    SetError(254, "Unbalanced Lock/Unlock for semaphore file: " + s.name);
    return false;
  }
  if (s.lock_entries > 0 || !s.holds_region) return true;
  bool ok = ReadRecord(s, "UNLOCKSEMAPHORE");
  if (ok) {
    std::uint16_t counter = static_cast<std::uint16_t>(Counter(s) + 1);
    s.record[2] = static_cast<std::uint8_t>(counter);
    s.record[3] = static_cast<std::uint8_t>(counter >> 8);
    // Our own reader registration stays counted.
    s.record[1] = s.reader ? 1 : 0;
    ok = WriteRecord(s, "UNLOCKSEMAPHORE");
    s.last_seen = counter;
  }
  s.holds_region = false;
  return UnlockRegion(s, "UNLOCKSEMAPHORE") && ok;
}

bool TableShared(int area) {
  const auto& table = WorkAreas[static_cast<std::size_t>(area)];
  return table && !table->exclusive && !table->is_virtual;
}

void Bracket(int area, bool enter, std::array<int, kWorkAreaSlots + 1>& nesting, int enter_action,
             int leave_action, const char* routine) {
  if (area < 1 || area > kWorkAreaSlots) return;
  int& n = nesting[static_cast<std::size_t>(area)];
  if (!enter && n == 0) {
    SetError(254, std::string("Non-symmetrical Lock-Unlock [") + routine + "]");
    return;
  }
  n += enter ? 1 : -1;
  // A writer lock not had in time is not held: its caller writes nothing and
  // owes no leave, which would release a lock another program holds. A
  // failed reader entry stays counted: its leave finds nothing to undo.
  if (enter && n == 1 && !HandleSemaphore(area, enter_action) && enter_action == kLockSemaphore) n = 0;
  if (!enter && n == 0) HandleSemaphore(area, leave_action);
}

}  // namespace

std::string SemaphoreFileName(const std::string& table_file) {
  const std::string on_disk = os::ResolvePath(table_file);
  if (SemaphoreDirectory.empty()) return ForceExt(on_disk, "@S@");
  NameParts parts = SplitName(on_disk);
  std::string dir = SemaphoreDirectory;
  if (dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + parts.name + ".@S@";
}

bool HandleSemaphore(int area, int action) {
  if (area < 1 || area > kWorkAreaSlots) {
    SetError(254, "Work area [" + std::to_string(area) + " ] out of range. [HandleSemafore]");
    return false;
  }
  if (action < 0 || action > kUnlockSemaphore || !TableShared(area)) return true;
  if (action == kLogin) return Login(area, false);
  if (action == kLogout) return Logout(area);
  SemaphoreState* s = States[static_cast<std::size_t>(area)].get();
  if (s == nullptr) return true;
  switch (action) {
    case kIncRead: return IncRead(*s);
    case kDecRead: return DecRead(*s);
    case kLockSemaphore: return LockSemaphore(*s);
    default: return UnlockSemaphore(*s);
  }
}

bool SemaphoreLogin(int area) {
  if (!TableShared(area)) return true;
  const WorkArea& table = *WorkAreas[static_cast<std::size_t>(area)];
  bool read_only = (table.open_mode & 0x0F) == 0;
  return Login(area, read_only);
}

bool SemaphoreLoggedIn(int area) {
  return area >= 1 && area <= kWorkAreaSlots && States[static_cast<std::size_t>(area)] != nullptr;
}

void SetReadSemaphoreProc(int area, bool enter) {
  Bracket(area, enter, ReadBrackets, kIncRead, kDecRead, "SetReadSemaphoreProc");
}

void SetLockSemaphoreProc(int area, bool enter) {
  Bracket(area, enter, LockBrackets, kLockSemaphore, kUnlockSemaphore, "SetLockSemaphoreProc");
}

bool SemaphoreCounterChanged(int area) {
  SemaphoreState* s = SemaphoreLoggedIn(area) ? States[static_cast<std::size_t>(area)].get() : nullptr;
  // Asked inside the writer lock too: another writer may have changed the
  // index between this program's last look and its taking of the lock, and
  // key maintenance must start from the tree as that writer left it.
  if (s == nullptr) return false;
  std::uint8_t record[4];
  std::size_t done = 0;
  if (os::ReadAt(s->file, 0, record, 4, &done) != 0 || done != 4) return false;
  std::uint16_t counter = static_cast<std::uint16_t>(record[2] | record[3] << 8);
  if (counter == s->last_seen) return false;
  s->last_seen = counter;
  return true;
}

void ResetSemaphoreBrackets(int area) {
  if (area < 1 || area > kWorkAreaSlots) return;
  ReadBrackets[static_cast<std::size_t>(area)] = 0;
  LockBrackets[static_cast<std::size_t>(area)] = 0;
}

void ResetSemaphoreState() {
  for (auto& s : States) {
    if (s && s->file != os::kNoHandle) os::CloseFile(s->file);
    s.reset();
  }
  ReadBrackets.fill(0);
  LockBrackets.fill(0);
}

}  // namespace orvex
