#include "index/index_build.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
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
#include "platform/os/files.h"

namespace orvex {

std::function<void()> IndexProgress;
int IndexProgressSteps = 0;

namespace {

constexpr std::size_t kWriteBuffer = 65536;

// Calls the progress callback in the rhythm of one build.
class Progress {
 public:
  explicit Progress(std::int32_t records)
      : every_(std::max<std::int32_t>(2, IndexProgressSteps > 0 ? records / IndexProgressSteps * 2 : 2)) {}
  void Tick(std::int64_t n) {
    if (IndexProgress && IndexProgressSteps > 0 && n % every_ == 0 && calls_ < IndexProgressSteps) Call();
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
      std::string last(reinterpret_cast<const char*>(v.Key(v.Count() - 1)), static_cast<std::size_t>(g_.key_length));
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
    return true;
  }

  IndexFile& index_;
  const NodeGeometry& g_;
  Progress& progress_;
  std::vector<Block> levels_;  // [0] is the leaf being filled
  std::vector<std::uint8_t> out_;
  std::uint32_t first_page_ = 0, next_page_ = 0;
  std::int64_t written_ = 0;
  std::int64_t emitted_ = 0;
  bool failed_ = false;
};

// Keeps the table's current record while a build reads every record
// through the record buffer.
class RecordKeeper {
 public:
  explicit RecordKeeper(WorkArea& table)
      : table_(table), record_(table.record), number_(table.record_number), eof_(table.eof), bof_(table.bof) {}
  ~RecordKeeper() {
    table_.record = std::move(record_);
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
  for (std::int64_t level = records; level > 0; level /= std::max(max_keys, 2)) needed += level / max_keys * 1024 + 1024;
  std::int32_t free_kb = DiskFree(SplitName(index.file_name).dir);
  if (free_kb >= needed / 1024) return true;
  SetError(227, Ansi("Verfügbarer Plattenplatz: ") + std::to_string(free_kb) + " KBytes;\n" + Ansi("benötigt: ") +
                    std::to_string(needed / 1024) + " KBytes [MakeIndex]");
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
    std::int64_t offset = table.header_length + static_cast<std::int64_t>(first - 1) * static_cast<std::int64_t>(length);
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
      if (!sorter.Add(reinterpret_cast<const std::uint8_t*>(key.data()), table.record_number)) return false;
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
  if (!EnoughDiskSpace(index, table.record_count, layout.key_length + 4, layout.max_keys)) return false;
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
    if (layout.unique) previous.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(layout.key_length));
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

// Builds one tag into an open index file (the current area's table).
bool AddTagTo(IndexFile& index, const TagDefinition& def) {
  WorkArea& table = index.Table();
  const std::string name = UpperCase(TrimBoth(def.name).substr(0, kMaxTagNameLength));
  if (name.empty()) return FailTag(220, "Kein Tag-Name");
  std::string condition = TrimBoth(def.for_expr);
  if (!condition.empty()) {
    int code = CheckExprText(condition, false);
    if (code != 0) return FailTag(code, "Invalid FOR expression for " + name);
  }
  if (TrimBoth(def.key_expr).size() > static_cast<std::size_t>(kMaxExprLength)) {
    return FailTag(300, Ansi("Index-Ausdruck länger als 100 Bytes"));
  }
  int existing = FindTagEntry(index.header, name);
  if (TagCount(index.header) - (existing != 0 ? 1 : 0) >= kMaxTags) {
    return FailTag(220, "Die Index-Datei hat schon " + std::to_string(kMaxTags) + " Tags: " + name);
  }
  TagLayout layout;
  layout.key_expr = NormaliseExpression(TrimBoth(def.key_expr));
  layout.has_for = !condition.empty();
  layout.for_expr = layout.has_for ? NormaliseExpression(condition) : "";
  layout.descending = def.descending;
  layout.unique = def.unique;
  ExprHolder exprs;
  exprs.key = AssignExpr(layout.key_expr);
  if (exprs.key == nullptr) return false;
  if (layout.has_for && (exprs.condition = AssignExpr(layout.for_expr)) == nullptr) return false;
  char type = exprs.key->result_type;
  if (type != 'C' && type != 'N' && type != 'D') return FailTag(254, Ansi("Ungültiger Parser-Return-Typ"));
  layout.key_type = type;
  KeySource source{exprs.key, type, 0, true, table.oem_text};
  if (type == 'C') {
    source.key_length = CharacterKeyLength(*exprs.key, table);
    if (source.key_length < 1) {
      return FailTag(266, Ansi("Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert."));
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
  if (!AppendBlock(index, nullptr, NewTagHeader(layout, root, any), &page, "AddIndexTag()")) return false;
  if (existing != 0) RemoveTagEntry(index.header, existing);
  AddTagEntry(index.header, page, name, type);
  Put32(index.header.data() + kHdrPageCounter, root + 2);
  index.header_dirty = true;
  return WriteHeaderIfDirty(index, "AddIndexTag()");
}

}  // namespace

bool MakeIndex(const std::vector<TagDefinition>& tags, const std::string& file_name) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("MakeIndex");
  if (table == nullptr) return false;
  const int area = CurrentArea;
  const std::string name = IndexFileName(*table, file_name);
  if (IndexOf(area) != nullptr) CloseIndex(area);
  if (DbfErrorNo != 0) return false;
  bool reopened = false;
  if (!table->exclusive && os::FileExists(name)) {
    int err = os::DeleteFile(name);
    if (err == 5 || err == 32) {
      if (ReopenShared(true) != 0) {
        SetError(225, table->file_name + " MakeIndex(" + name + ")");
        return false;
      }
      reopened = true;
    }
  }
  if (os::FileExists(name)) {
    DeleteFiles(name);
    if (DbfErrorNo != 0) return false;
  }
  IndexFile index;
  index.area = area;
  index.file_name = name;
  int err = 0;
  index.file = os::CreateFile(name, os::kOpenReadWrite, &err);
  bool ok = index.file != os::kNoHandle;
  if (!ok) {
    SetError(err, Ansi("Kann Index nicht öffnen: ") + name + " [MakeIndex]");
  } else {
    index.header = NewMdxHeader(SplitName(os::ResolvePath(table->file_name)).name);
    index.header_dirty = true;
    ok = WriteHeaderIfDirty(index, "MakeIndex");
    for (const TagDefinition& def : tags) {
      if (!ok) break;
      ok = AddTagTo(index, def);
    }
    int close_err = os::CloseFile(index.file);
    index.file = os::kNoHandle;
    if (ok && close_err != 0) {
      SetError(close_err, Ansi("Fehler beim Schließen der Index-Datei:  ") + name);
      ok = false;
    }
  }
  if (reopened && ReopenShared(false) != 0) {
    SetError(DbfErrorNo != 0 ? DbfErrorNo : 225, "Cannot_Reopen_Database_Sharable MakeIndex(" + name + ")");
    ok = false;
  }
  return ok;
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
  const std::string file = index->file_name;
  const std::string active = index->Active() != nullptr ? index->Active()->name : "";
  bool reopened = false;
  if (reopen_exclusive && !table->exclusive) {
    CloseIndex(CurrentArea);
    if (ReopenShared(true) != 0) {
      SetError(225, table->file_name + " [AddIndexTag()]");
      return false;
    }
    reopened = true;
    SetIndexTo(file);
    index = IndexOf(CurrentArea);
    if (index == nullptr) return false;
  }
  bool ok = AddTagTo(*index, tag);
  // The build's error outlives the reopening below.
  const int error = DbfErrorNo;
  const std::string detail = ErrorDetail;
  CloseIndex(CurrentArea);
  if (reopened && ReopenShared(false) != 0) {
    SetError(225, "Cannot_Reopen_Database_Sharable " + table->file_name);
    return false;
  }
  SetIndexTo(file);
  if (DbfErrorNo == 0 && !active.empty()) SetOrderToTag(active);
  if (!ok && DbfErrorNo == 0) {
    DbfErrorNo = static_cast<std::uint16_t>(error);
    ErrorDetail = detail;
  }
  return ok && DbfErrorNo == 0;
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
  const std::string file = index->file_name;
  const std::string active = index->Active() != nullptr ? index->Active()->name : "";
  std::vector<TagDefinition> defs;
  for (const auto& tag : index->tags) {
    TagDefinition def;
    def.name = tag->name;
    def.key_expr = tag->layout.key_expr;
    def.for_expr = tag->layout.has_for ? tag->layout.for_expr : "";
    def.descending = tag->layout.descending;
    def.unique = tag->layout.unique;
    defs.push_back(std::move(def));
  }
  if (!MakeIndex(defs, file)) return;
  SetIndexTo(file);
  if (DbfErrorNo == 0 && !active.empty()) SetOrderToTag(active);
}

}  // namespace orvex
