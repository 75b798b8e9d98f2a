#include "index/index_build.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "common/file_replace.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/engine_text.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"
#include "index/build_sort.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/key_maker.h"
#include "common/quiet_errors.h"
#include "platform/os/files.h"

namespace orvex {

std::function<void()> IndexProgress;
int IndexProgressSteps = 0;

namespace {

constexpr std::size_t kWriteBuffer = 65536;
// Bytes of a new tree handed to the system's background write-out at once.
constexpr std::int64_t kWriteBackStep = std::int64_t{4} << 20;

// Calls the progress callback in the rhythm of one build.
class Progress {
 public:
  explicit Progress(std::int32_t records)
      : every_(std::max<std::int32_t>(
            2, IndexProgressSteps > 0 ? records / IndexProgressSteps * 2 : 2)) {}
  void Tick(std::int64_t n) {
    if (IndexProgress && IndexProgressSteps > 0 && n % every_ == 0 && calls_ < IndexProgressSteps)
      Call();
  }
  void Complete() {
    while (IndexProgress && calls_ < IndexProgressSteps) Call();
  }

 private:
  void Call() {
    ++calls_;
    IndexProgress();
  }
  std::int32_t every_;
  int calls_ = 0;
};

// Writes the tree bottom-up: nodes go out through a buffer in the order
// they are finished, each at the next page after the file's end.
class TreeWriter {
 public:
  TreeWriter(IndexFile& index, const NodeGeometry& geometry, Progress& progress)
      : index_(index), g_(geometry), progress_(progress) {
    first_page_ = next_page_ = static_cast<std::uint32_t>(IndexFileSize(index) / kMdxPageSize);
    // Room for every level a tree can have, so that adding a level never
    // moves the nodes being filled.
    levels_.reserve(64);
    levels_.emplace_back();
  }

  bool Add(const std::uint8_t* key, std::int32_t record) {
    Block& leaf = levels_[0];
    NodeView v(leaf, g_);
    if (v.Count() == g_.max_keys) {
      std::string last(reinterpret_cast<const char*>(v.Key(v.Count() - 1)),
                       static_cast<std::size_t>(g_.key_length));
      std::uint32_t page = Emit(leaf);
      v.Clear();
      if (!PushUp(1, page, reinterpret_cast<const std::uint8_t*>(last.data()))) return false;
    }
    v.Append(static_cast<std::uint32_t>(record), key);
    return !failed_;
  }

  // Writes what is left from the leaf up (levels without items are passed
  // over; each upper node points with its trailing pointer at the node
  // written before it). The last node written is the root.
  bool Finish(std::uint32_t* root) {
    std::uint32_t previous = Emit(levels_[0]);
    for (std::size_t level = 1; level < levels_.size(); ++level) {
      NodeView v(levels_[level], g_);
      if (v.Count() == 0) continue;
      v.SetTrailing(previous);
      previous = Emit(levels_[level]);
    }
    *root = previous;
    return Flush();
  }

 private:
  bool PushUp(std::size_t level, std::uint32_t page, const std::uint8_t* key) {
    if (level == levels_.size()) levels_.emplace_back();
    NodeView v(levels_[level], g_);
    if (v.Count() == g_.max_keys) {
      v.SetTrailing(page);
      std::uint32_t written = Emit(levels_[level]);
      v.Clear();
      return PushUp(level + 1, written, key);
    }
    v.Append(page, key);
    return !failed_;
  }

  std::uint32_t Emit(const Block& node) {
    std::uint32_t page = next_page_;
    next_page_ += kMdxBlockSize / kMdxPageSize;
    out_.insert(out_.end(), node.begin(), node.end());
    if (out_.size() >= kWriteBuffer) Flush();
    progress_.Tick(++emitted_);
    return page;
  }

  bool Flush() {
    if (failed_) return false;
    if (out_.empty()) return true;
    std::int64_t offset = static_cast<std::int64_t>(first_page_) * kMdxPageSize + written_;
    int err = os::WriteAt(index_.file, offset, out_.data(), out_.size());
    if (err != 0) {
      SetError(err, "Fehler beim Schreiben der Index-Datei: " + index_.file_name + " [MakeIndex]");
      failed_ = true;
      return false;
    }
    written_ += static_cast<std::int64_t>(out_.size());
    out_.clear();
    // The new file is made durable at its commit. The system is asked to
    // start writing it out as it grows, so that the medium works while the
    // build goes on and the commit finds little left to wait for.
    if (written_ - written_back_ >= kWriteBackStep) {
      const std::int64_t start = static_cast<std::int64_t>(first_page_) * kMdxPageSize;
      os::StartWriteBack(index_.file, start + written_back_,
                         static_cast<std::size_t>(written_ - written_back_));
      written_back_ = written_;
    }
    return true;
  }

  IndexFile& index_;
  const NodeGeometry& g_;
  Progress& progress_;
  std::vector<Block> levels_;  // [0] is the leaf being filled
  std::vector<std::uint8_t> out_;
  std::uint32_t first_page_ = 0, next_page_ = 0;
  std::int64_t written_ = 0;
  std::int64_t written_back_ = 0;  // bytes of written_ handed to StartWriteBack
  std::int64_t emitted_ = 0;
  bool failed_ = false;
};

// Keeps the table's current record while a build reads every record
// through the record buffer.
class RecordKeeper {
 public:
  explicit RecordKeeper(WorkArea& table)
      : table_(table),
        record_(table.record),
        number_(table.record_number),
        eof_(table.eof),
        bof_(table.bof) {}
  ~RecordKeeper() {
    // Into the same buffer: readers keep pointers into it (the dataset's
    // field access) across a build.
    table_.record.assign(record_.begin(), record_.end());
    table_.record_number = number_;
    table_.eof = eof_;
    table_.bof = bof_;
  }
  RecordKeeper(const RecordKeeper&) = delete;
  RecordKeeper& operator=(const RecordKeeper&) = delete;

 private:
  WorkArea& table_;
  std::vector<char> record_;
  std::int32_t number_;
  bool eof_, bof_;
};

bool EnoughDiskSpace(const IndexFile& index, std::int64_t records, int entry_size, int max_keys) {
  std::int64_t needed = records * entry_size;
  for (std::int64_t level = records; level > 0; level /= std::max(max_keys, 2))
    needed += level / max_keys * 1024 + 1024;
  std::int32_t free_kb = DiskFree(SplitName(index.file_name).dir);
  if (free_kb >= needed / 1024) return true;
  SetError(227, Ansi("Verfügbarer Plattenplatz: ") + std::to_string(free_kb) + " KBytes;\n" +
                    Ansi("benötigt: ") + std::to_string(needed / 1024) + " KBytes [MakeIndex]");
  return false;
}

// Reads every record of the table in file order through the record buffer
// and hands the key of each record meeting the FOR condition to the sorter.
bool ReadKeys(WorkArea& table, const KeySource& source, CompiledExpr* for_expr, EntrySorter& sorter,
              Progress& progress, bool* any) {
  const std::int32_t count = table.record_count;
  const std::size_t length = table.record_length;
  const std::size_t per_block = std::max<std::size_t>(1, (1u << 20) / length);
  std::vector<char> block(per_block * length);
  std::string key;
  RecordKeeper keeper(table);
  table.record.resize(length);
  for (std::int32_t first = 1; first <= count; first += static_cast<std::int32_t>(per_block)) {
    std::size_t n = std::min<std::size_t>(per_block, static_cast<std::size_t>(count - first + 1));
    std::size_t done = 0;
    std::int64_t offset = table.header_length +
                          static_cast<std::int64_t>(first - 1) * static_cast<std::int64_t>(length);
    int err = os::ReadAt(table.file, offset, block.data(), n * length, &done);
    if (err == 0 && done != n * length) err = 213;
    if (err != 0) {
      SetError(err, "Fehler beim Lesen von " + table.file_name + " [MakeIndex]");
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      char* record = table.record.data();
      std::memcpy(record, block.data() + i * length, length);
      if (NeedsReadConversion(table, record)) ConvertForRead(table, record);
      table.record_number = first + static_cast<std::int32_t>(i);
      progress.Tick(table.record_number);
      if (for_expr != nullptr) {
        if (EvaluateExpr(for_expr) == nullptr) return false;
        if (!ResultLogical(for_expr)) continue;
      }
      if (!MakeKey(source, &key)) return false;
      *any = true;
      if (!sorter.Add(reinterpret_cast<const std::uint8_t*>(key.data()), table.record_number))
        return false;
    }
  }
  return true;
}

// Builds the tree of one tag at the end of the index file: its root page in
// *root; *any tells whether a record met the FOR condition.
bool BuildTree(IndexFile& index, WorkArea& table, const TagLayout& layout, const KeySource& source,
               CompiledExpr* for_expr, std::uint32_t* root, bool* any) {
  RefreshRecCount(table);
  const NodeGeometry geometry{layout.key_length, layout.item_length, layout.max_keys};
  const KeyOrder order{layout.key_type, layout.key_length, layout.descending};
  if (!EnoughDiskSpace(index, table.record_count, layout.key_length + 4, layout.max_keys))
    return false;
  EntrySorter sorter(order, layout.key_length);
  Progress progress(table.record_count);
  *any = false;
  if (!sorter.Start()) return false;
  sorter.Reserve(static_cast<std::size_t>(table.record_count));
  if (!ReadKeys(table, source, for_expr, sorter, progress, any) || !sorter.Finish()) return false;
  TreeWriter writer(index, geometry, progress);
  const std::uint8_t* key = nullptr;
  std::int32_t record = 0;
  std::string previous;
  while (sorter.Next(&key, &record)) {
    // A unique tag keeps the first (lowest) record of each key.
    if (layout.unique && !previous.empty() &&
        order.Compare(key, reinterpret_cast<const std::uint8_t*>(previous.data())) == 0) {
      continue;
    }
    if (layout.unique)
      previous.assign(reinterpret_cast<const char*>(key),
                      static_cast<std::size_t>(layout.key_length));
    if (!writer.Add(key, record)) return false;
  }
  if (sorter.Failed() || !writer.Finish(root)) return false;
  progress.Complete();
  return true;
}

// Frees the compiled expressions of a tag build on every way out.
struct ExprHolder {
  CompiledExpr* key = nullptr;
  CompiledExpr* condition = nullptr;
  ~ExprHolder() {
    FreeExpr(key);
    FreeExpr(condition);
  }
};

bool FailTag(int number, const std::string& text) {
  SetError(number, text + " [AddIndexTag()]");
  return false;
}

// Refuses a key expression or FOR condition that does not fit the room the
// tag header has for it (error 300, naming which and its length).
bool FitsStoredRoom(const std::string& text, const char* what) {
  if (text.size() <= static_cast<std::size_t>(kMaxExprLength)) return true;
  return FailTag(300, std::string(what) + Ansi(" länger als ") + std::to_string(kMaxExprLength) +
                          " Zeichen: " + std::to_string(text.size()) + " Zeichen");
}

// Compiles a tag's expression as opening the tag will compile it again
// (CompileNormalised). Unless `keep_text`, *text becomes the form that
// compiled, the one to store. Null when no form compiles.
CompiledExpr* CompileForTag(std::string* text, bool keep_text) {
  std::string compiled = *text;
  CompiledExpr* expr = nullptr;
  if (!CompileNormalised(&compiled, &expr)) return nullptr;
  if (!keep_text) *text = compiled;
  return expr;
}

// What a rebuild keeps of a tag as the file holds it: its header, and
// whether its keys are folded (another writer may store them as the
// expression gives them, and programs search them so).
struct StoredTag {
  TagLayout layout;
  bool fold_keys = true;
};

// Builds one tag into an index file being written (the current area's
// table). A new tag stores its expressions in the form that compiled, takes
// a character key's length from the first record and folds its keys. A
// rebuild passes the tag as `stored`: the texts stay as the definition gives
// them (another program may have written them otherwise), a character key
// keeps its length and the keys their folding, so that the tag holds the
// keys it held.
bool AddTagTo(IndexFile& index, const TagDefinition& def, const StoredTag* stored) {
  const bool keep_texts = stored != nullptr;
  WorkArea& table = index.Table();
  const std::string name = UpperCase(TrimBoth(def.name).substr(0, kMaxTagNameLength));
  if (name.empty()) return FailTag(220, "Kein Tag-Name");
  TagLayout layout;
  layout.key_expr = TrimBoth(def.key_expr);
  layout.for_expr = TrimBoth(def.for_expr);
  layout.has_for = !layout.for_expr.empty();
  if (!FitsStoredRoom(layout.key_expr, "Index-Ausdruck") ||
      !FitsStoredRoom(layout.for_expr, "FOR-Bedingung")) {
    return false;
  }
  int existing = FindTagEntry(index.header, name);
  if (TagCount(index.header) - (existing != 0 ? 1 : 0) >= kMaxTags) {
    return FailTag(220, "Die Index-Datei hat schon " + std::to_string(kMaxTags) + " Tags: " + name);
  }
  layout.descending = def.descending;
  layout.unique = def.unique;
  ExprHolder exprs;
  if ((exprs.key = CompileForTag(&layout.key_expr, keep_texts)) == nullptr) {
    FreeExpr(AssignExpr(layout.key_expr));  // reports why the text does not compile
    return false;
  }
  if (layout.has_for) {
    exprs.condition = CompileForTag(&layout.for_expr, keep_texts);
    if (exprs.condition == nullptr || exprs.condition->result_type != 'L') {
      const int code = CheckExprText(layout.for_expr, false);
      return FailTag(code != 0 ? code : 362, "Invalid FOR expression for " + name);
    }
  }
  char type = exprs.key->result_type;
  if (type != 'C' && type != 'N' && type != 'D')
    return FailTag(254, Ansi("Ungültiger Parser-Return-Typ"));
  layout.key_type = type;
  KeySource source{exprs.key, type, 0, true, table.oem_text};
  if (stored != nullptr) source.fold = stored->fold_keys;
  if (type == 'C') {
    // The width the expression declares; a rebuild keeps a wider length that
    // the file's writer chose, so that its keys keep every byte.
    source.key_length = CharacterKeyLength(*exprs.key, table);
    if (stored != nullptr && stored->layout.key_type == 'C')
      source.key_length = std::max(source.key_length, stored->layout.key_length);
    if (source.key_length < 1) {
      return FailTag(266,
                     Ansi("Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert."));
    }
  } else {
    source.key_length = type == 'D' ? kDateKeyLength : kNumericKeyLength;
  }
  layout.key_length = source.key_length;
  layout.item_length = NewItemLength(type, layout.key_length);
  layout.max_keys = NewMaxKeys(layout.item_length);
  std::uint32_t root = 0, page = 0;
  bool any = false;
  if (!BuildTree(index, table, layout, source, exprs.condition, &root, &any)) return false;
  if (!AppendBlock(index, nullptr, NewTagHeader(layout, root, any), &page, "AddIndexTag()"))
    return false;
  if (existing != 0) RemoveTagEntry(index.header, existing);
  AddTagEntry(index.header, page, name, type);
  Put32(index.header.data() + kHdrPageCounter, root + 2);
  index.header_dirty = true;
  return WriteHeaderIfDirty(index, "AddIndexTag()");
}

// The index file a build writes beside the table, under the index file's
// name with the extension "$MX". It takes the index file's place only in
// Commit, after every tag is built, in one atomic rename: a failure, a full
// disk or a program killed at any moment leaves the old index file (or no
// index file) exactly as it was. Unless committed, the new file is removed.
class NewIndexFile {
 public:
  NewIndexFile(int area, const std::string& name) : temp_(ForceExt(name, "$MX")) {
    index_.area = area;
    // Messages name the index file that the build is for.
    index_.file_name = name;
  }
  ~NewIndexFile() {
    if (index_.file == os::kNoHandle) return;
    os::CloseFile(index_.file);
    index_.file = os::kNoHandle;
    os::DeleteFile(temp_);
  }
  NewIndexFile(const NewIndexFile&) = delete;
  NewIndexFile& operator=(const NewIndexFile&) = delete;

  IndexFile& Index() { return index_; }

  // Starts the new file with an empty index of the table `table_file`.
  bool CreateEmpty(const std::string& table_file, const char* routine) {
    if (!Create(routine)) return false;
    index_.header = NewMdxHeader(SplitName(os::ResolvePath(table_file)).name);
    index_.header_dirty = true;
    return WriteHeaderIfDirty(index_, routine);
  }

  // Starts the new file as a copy of the index file `old` (closed by this
  // program, so that its tag headers are all written).
  bool CreateCopy(const std::string& old, const char* routine) {
    if (!Create(routine)) return false;
    int err = 0;
    const os::Handle from = os::OpenFile(old, os::kOpenReadDenyNone, &err);
    if (from == os::kNoHandle) {
      SetError(err, Ansi("Kann Index nicht öffnen: ") + old + " [" + routine + "]");
      return false;
    }
    std::vector<std::uint8_t> buffer(kWriteBuffer);
    std::int64_t offset = 0;
    std::size_t done = buffer.size();
    while (err == 0 && done == buffer.size()) {
      err = os::ReadAt(from, offset, buffer.data(), buffer.size(), &done);
      if (err == 0 && done > 0) err = os::WriteAt(index_.file, offset, buffer.data(), done);
      offset += static_cast<std::int64_t>(done);
    }
    os::CloseFile(from);
    if (err == 0 && (os::ReadAt(index_.file, 0, index_.header.data(), kMdxHeaderSize, &done) != 0 ||
                     done != kMdxHeaderSize)) {
      err = 222;
    }
    if (err != 0) {
      SetError(err, "Fehler beim Kopieren der Index-Datei: " + old + " [" + routine + "]");
      return false;
    }
    return true;
  }

  // Puts the new file in the index file's place (common/file_replace.h).
  bool Commit(const char* routine) {
    const os::Handle file = index_.file;
    index_.file = os::kNoHandle;
    const int err = ReplaceWithWrittenFile(file, temp_, index_.file_name);
    if (err != 0) {
      SetError(err,
               "Fehler beim Ersetzen der Index-Datei: " + index_.file_name + " [" + routine + "]");
      return false;
    }
    return true;
  }

 private:
  bool Create(const char* routine) {
    int err = 0;
    index_.file = os::CreateFile(temp_, os::kOpenReadWriteExclusive, &err);
    if (index_.file != os::kNoHandle) return true;
    SetError(err, Ansi("Kann Index nicht öffnen: ") + temp_ + " [" + routine + "]");
    return false;
  }

  IndexFile index_;
  std::string temp_;
};

// True when another program holds the index file `name` open, so that it
// cannot be replaced while the table is shared.
bool HeldElsewhere(const std::string& name) {
  int err = 0;
  const os::Handle probe = os::OpenFile(name, os::kOpenReadWriteExclusive, &err);
  if (probe != os::kNoHandle) os::CloseFile(probe);
  return err == 5 || err == 32;
}

// What a build that closes the table's index changes for the caller: the
// index is opened again afterwards on the order that was active, standing on
// the record it stood on.
class KeptPosition {
 public:
  explicit KeptPosition(const IndexFile& index, const WorkArea& table)
      : active_(index.active > 0 ? index.tags[static_cast<std::size_t>(index.active - 1)]->name
                                 : ""),
        record_(table.record_number),
        on_record_(!table.eof && table.record_number >= 1 &&
                   table.record_number <= table.record_count) {}

  // Opens `file` again as it was; the error of the build (DbfErrorNo when
  // this is called) stays the one reported.
  void Reopen(const std::string& file) const {
    const int error = DbfErrorNo;
    const std::string detail = ErrorDetail;
    DbfErrorNo = 0;
    SetIndexTo(file);
    if (DbfErrorNo == 0) {
      if (active_.empty()) {
        Set_Order_To(0);
      } else {
        SetOrderToTag(active_);
      }
    }
    if (DbfErrorNo == 0 && on_record_) GO(record_);
    if (error != 0) {
      DbfErrorNo = static_cast<std::uint16_t>(error);
      ErrorDetail = detail;
    }
  }

 private:
  std::string active_;
  std::int32_t record_;
  bool on_record_;
};

// The definitions of the open index's tags and their headers as the file
// stores them (opening a tag keeps the form of the expressions that
// compiled). False after reporting a failed read.
bool StoredDefinitions(IndexFile& index, std::vector<TagDefinition>* defs,
                       std::vector<StoredTag>* stored) {
  for (const auto& tag : index.tags) {
    Block anchor{};
    std::size_t done = 0;
    int err = os::ReadAt(index.file, static_cast<std::int64_t>(tag->header_page) * kMdxPageSize,
                         anchor.data(), kAnchorBytes, &done);
    if (err == 0 && done != kAnchorBytes) err = os::kErrShortRead;
    if (err != 0) {
      SetError(err,
               "Fehler beim Lesen der Index-Datei: " + IndexAndTag(index, *tag) + " [Reindex()]");
      return false;
    }
    const TagLayout layout = ReadTagLayout(anchor);
    const TagLayout& t = tag->layout;
    defs->push_back(
        {tag->name, layout.key_expr, t.has_for ? layout.for_expr : "", t.descending, t.unique});
    stored->push_back({layout, tag->fold_keys});
  }
  return true;
}

// Reopens a table that a build had reopened exclusively as shared again.
bool ReopenSharedAfterBuild(const std::string& what) {
  if (ReopenShared(false) == 0) return true;
  SetError(DbfErrorNo != 0 ? DbfErrorNo : 225, "Cannot_Reopen_Database_Sharable " + what);
  return false;
}

}  // namespace

namespace {

// MakeIndex, and given the tags' `stored` headers the rebuild of Reindex
// (see AddTagTo).
bool BuildIndex(const std::vector<TagDefinition>& tags, const std::string& file_name,
                const std::vector<StoredTag>& stored) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("MakeIndex");
  if (table == nullptr) return false;
  QuietErrors quiet;
  const int area = CurrentArea;
  const std::string name = IndexFileName(*table, file_name);
  if (IndexOf(area) != nullptr) CloseIndex(area);
  if (DbfErrorNo != 0) {
    quiet.ReportHeld();
    return false;
  }
  bool reopened = false;
  if (!table->exclusive && os::FileExists(name) && HeldElsewhere(name)) {
    if (ReopenShared(true) != 0) {
      SetError(225, table->file_name + " MakeIndex(" + name + ")");
      quiet.ReportHeld();
      return false;
    }
    reopened = true;
  }
  bool ok = false;
  {
    NewIndexFile target(area, name);
    ok = target.CreateEmpty(table->file_name, "MakeIndex");
    for (std::size_t n = 0; ok && n < tags.size(); ++n) {
      ok = AddTagTo(target.Index(), tags[n], n < stored.size() ? &stored[n] : nullptr);
    }
    ok = ok && target.Commit("MakeIndex");
  }
  if (reopened && !ReopenSharedAfterBuild("MakeIndex(" + name + ")")) ok = false;
  quiet.ReportHeld();
  return ok;
}

}  // namespace

bool MakeIndex(const std::vector<TagDefinition>& tags, const std::string& file_name) {
  return BuildIndex(tags, file_name, {});
}

bool AddIndexTag(const TagDefinition& tag, bool reopen_exclusive) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("AddIndexTag");
  if (table == nullptr) return false;
  IndexFile* index = IndexOf(CurrentArea);
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") [AddIndexTag()]");
    return false;
  }
  QuietErrors quiet;
  const std::string file = index->file_name;
  const KeptPosition position(*index, *table);
  // Closing writes every tag header, so that the copy holds them.
  CloseIndex(CurrentArea);
  bool reopened = false;
  if (DbfErrorNo == 0 && reopen_exclusive && !table->exclusive) {
    if (ReopenShared(true) != 0) {
      SetError(225, table->file_name + " [AddIndexTag()]");
    } else {
      reopened = true;
    }
  }
  bool ok = DbfErrorNo == 0;
  if (ok) {
    NewIndexFile target(CurrentArea, file);
    ok = target.CreateCopy(file, "AddIndexTag()") && AddTagTo(target.Index(), tag, nullptr) &&
         target.Commit("AddIndexTag()");
  }
  if (reopened && !ReopenSharedAfterBuild(table->file_name)) ok = false;
  position.Reopen(file);
  ok = ok && DbfErrorNo == 0;
  quiet.ReportHeld();
  return ok;
}

void Reindex() {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("Reindex");
  if (table == nullptr) return;
  IndexFile* index = IndexOf(CurrentArea);
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") [Reindex()]");
    return;
  }
  QuietErrors quiet;
  const std::string file = index->file_name;
  const KeptPosition position(*index, *table);
  std::vector<TagDefinition> defs;
  std::vector<StoredTag> stored;
  if (StoredDefinitions(*index, &defs, &stored)) BuildIndex(defs, file, stored);
  // The old index file is still in place when the build failed.
  position.Reopen(file);
  quiet.ReportHeld();
}

}  // namespace orvex
