#include "index/index_open.h"

#include <cstring>
#include <utility>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/engine_text.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "expr/compiled_expr.h"
#include "index/index_journal.h"
#include "common/quiet_errors.h"
#include "index/semaphore.h"
#include "index/tag_walk.h"
#include "platform/os/files.h"

namespace orvex {

std::uint16_t IndexOpenMode = 0xFFFF;

namespace {

// The extension of files made beside a table follows the case of the
// table's extension (t.dbf -> t.mdx, T.DBF -> T.MDX).
std::string SiblingExtension(const std::string& table_file) {
  std::string ext = SplitName(table_file).ext;
  bool lower = ext.size() > 1 && ext[1] >= 'a' && ext[1] <= 'z';
  return lower ? "mdx" : "MDX";
}

bool HasDirectory(const std::string& name) {
  return name.find_first_of("/\\:") != std::string::npos;
}

// True when one of the first and last leaf's keys holds a byte that folding
// would have changed: the keys were stored unfolded by another writer.
bool SampledKeysUnfolded(IndexFile& index, TagState& tag, bool* failed) {
  *failed = false;
  for (bool last : {false, true}) {
    if (!DescendToEdge(index, tag, last)) {
      *failed = true;
      return false;
    }
    PathEntry& leaf = tag.path.back();
    NodeView v(leaf.node, tag.geometry);
    for (int i = 0; i < v.Count(); ++i) {
      if (HasFoldableBytes(v.Key(i), tag.geometry.key_length)) return true;
    }
  }
  return false;
}

bool GeometryFits(const TagLayout& t) {
  if (t.key_length < 1 || t.key_length > kMaxKeyLength) return false;
  if ((t.key_type == 'N' || t.key_type == 'F') && t.key_length != kNumericKeyLength) return false;
  if (t.key_type == 'D' && t.key_length != kDateKeyLength) return false;
  if (t.item_length < t.key_length + 4 || t.max_keys < 1) return false;
  // Both come from the file (up to 65,535 each): multiplied in 64 bits.
  return 8 + static_cast<std::int64_t>(t.max_keys) * t.item_length + 4 <= kMdxBlockSize;
}

char ExpectedResult(char key_type) { return key_type == 'C' ? 'C' : key_type == 'D' ? 'D' : 'N'; }

}  // namespace

bool CompileNormalised(std::string* text, CompiledExpr** expr) {
  QuietErrors quiet;
  std::string normalised = NormaliseExpression(*text);
  *expr = AssignExpr(normalised);
  if (*expr != nullptr) {
    *text = normalised;
    return true;
  }
  *expr = AssignExpr(*text);
  if (*expr == nullptr) {
    // dBASE IV writes the logical constants as .TRUE. and .FALSE. too.
    std::string words = normalised;
    for (auto [from, to] :
         {std::pair<const char*, const char*>{".TRUE.", ".T."}, {".FALSE.", ".F."}}) {
      for (std::size_t at; (at = words.find(from)) != std::string::npos;)
        words.replace(at, std::strlen(from), to);
    }
    if ((*expr = AssignExpr(words)) != nullptr) *text = words;
  }
  DbfErrorNo = 0;
  return *expr != nullptr;
}

std::string NormaliseExpression(const std::string& text) {
  std::string out;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
        c = '"';
      }
      out += c;
      continue;
    }
    if (c == '"' || c == '\'') {
      // A quoted text that itself holds a double quote keeps its own quotes.
      std::size_t end = text.find(c, i + 1);
      bool keeps = c == '\'' && end != std::string::npos && text.find('"', i + 1) < end;
      if (keeps) {
        out += text.substr(i, end - i + 1);
        i = end;
        continue;
      }
      quote = c;
      out += '"';
      continue;
    }
    if (c == ' ' || c == '\t') continue;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out += c;
  }
  return out;
}

std::string IndexFileName(const WorkArea& table, const std::string& name) {
  std::string trimmed = TrimBoth(name);
  if (trimmed.empty()) {
    // The engine may hold the table's name upper-cased; the index takes the
    // case of the name on disk.
    std::string on_disk = os::ResolvePath(table.file_name);
    return ForceExt(on_disk, SiblingExtension(on_disk));
  }
  std::string full = SplitName(trimmed).ext.empty() ? DefaultExt(trimmed, "MDX") : trimmed;
  if (!HasDirectory(full)) full = SplitName(table.file_name).dir + full;
  return full;
}

std::unique_ptr<TagState> OpenTag(IndexFile& index, int number) {
  auto tag = std::make_unique<TagState>();
  tag->number = number;
  tag->name = TagEntryName(index.header, number);
  tag->header_page = Get32(TagEntry(index.header, number) + kEntryPage);
  const std::string damaged =
      Ansi("Ungültiger dBASE-Schlüsselausdruck oder Index-Datei beschädigt ") + index.file_name;
  std::size_t done = 0;
  std::int64_t size = IndexFileSize(index);
  if (tag->header_page < kMdxHeaderSize / kMdxPageSize ||
      static_cast<std::int64_t>(tag->header_page) * kMdxPageSize + kAnchorBytes > size ||
      os::ReadAt(index.file, static_cast<std::int64_t>(tag->header_page) * kMdxPageSize,
                 tag->anchor.data(), kAnchorBytes, &done) != 0 ||
      done != kAnchorBytes) {
    SetError(222, damaged);
    return nullptr;
  }
  TagLayout& t = tag->layout;
  t = ReadTagLayout(tag->anchor);
  if ((t.key_type != 'C' && t.key_type != 'D' && t.key_type != 'F' && t.key_type != 'N') ||
      !GeometryFits(t) || tag->Root() == 0) {
    SetError(222, damaged);
    return nullptr;
  }
  // Another writer may set the FOR flag without a condition: that is no
  // condition.
  t.has_for = t.has_for && !TrimBoth(t.for_expr).empty();
  if (!CompileNormalised(&t.key_expr, &tag->key_expr)) {
    SetError(222, damaged);
    return nullptr;
  }
  PutFixedText(tag->anchor.data() + kTagExpr, kMaxExprLength + 1, t.key_expr);
  if (t.has_for) {
    if (!CompileNormalised(&t.for_expr, &tag->for_expr)) {
      SetError(222, damaged);
      return nullptr;
    }
    PutFixedText(tag->anchor.data() + kTagForExpr, kMaxExprLength + 1, t.for_expr);
  }
  tag->geometry = {t.key_length, t.item_length, t.max_keys};
  tag->order = {t.key_type, t.key_length, t.descending};
  bool compiled = tag->key_expr != nullptr &&
                  tag->key_expr->result_type == ExpectedResult(t.key_type) &&
                  (!t.has_for || (tag->for_expr != nullptr && tag->for_expr->result_type == 'L'));
  if (!compiled) {
    SetError(222, damaged);
    return nullptr;
  }
  if (t.key_type == 'C') {
    bool failed = false;
    {
      QuietErrors quiet;
      tag->fold_keys = !SampledKeysUnfolded(index, *tag, &failed);
    }
    if (failed) {
      SetError(222, damaged);
      return nullptr;
    }
  }
  tag->path.clear();
  tag->positioned = false;
  return tag;
}

void SetIndexTo(const std::string& file_name) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("SetIndexTo");
  if (table == nullptr) return;
  const int area = CurrentArea;
  const std::string name = IndexFileName(*table, file_name);
  if (IndexOf(area) != nullptr) CloseIndex(area);
  if (DbfErrorNo != 0) return;
  if (!os::FileExists(name)) {
    SetError(2, "SetIndexTo(" + name + ")");
    return;
  }
  QuietErrors quiet;
  bool login = IndexOpenMode == 0xFFFF || (IndexOpenMode & 0xF0) == 0x40;
  if (login && !SemaphoreLogin(area) && DbfErrorNo != 0) {
    quiet.ReportHeld();
    return;
  }
  auto index = std::make_shared<IndexFile>();
  index->area = area;
  index->file_name = name;
  index->read_only = (table->open_mode & 0x0F) == 0;
  int mode = index->read_only ? os::kOpenRead : os::kOpenReadWrite;
  if (NetworkLocking && !table->exclusive) mode |= os::kOpenReadDenyNone;
  if (IndexOpenMode != 0xFFFF) mode = IndexOpenMode & 0xFF;
  int err = 0;
  auto fail = [&](int number, const std::string& detail) {
    index.reset();
    table->index_state.reset();
    HandleSemaphore(area, kLogout);
    ResetSemaphoreBrackets(area);
    if (number != 0) SetError(number, detail);
    quiet.ReportHeld();
  };
  if (!RecoverKeyedWriteAtOpen(area, name)) return fail(0, "");
  index->file = os::OpenFile(name, mode, &err);
  if (index->file == os::kNoHandle) return fail(err, Ansi("Kann Index nicht öffnen: ") + name);
  std::size_t done = 0;
  if (IndexFileSize(*index) <= 3071 ||
      os::ReadAt(index->file, 0, index->header.data(), kMdxHeaderSize, &done) != 0 ||
      done != kMdxHeaderSize) {
    return fail(222, Ansi("Kann Index nicht öffnen: ") + name);
  }
  if (TagCount(index->header) > kMaxTags) {
    return fail(222,
                Ansi("Ungültiger dBASE-Schlüsselausdruck oder Index-Datei beschädigt ") + name);
  }
  table->index_state = index;
  for (int n = 1; n <= TagCount(index->header); ++n) {
    SetReadSemaphoreProc(area, true);
    std::unique_ptr<TagState> tag = DbfErrorNo == 0 ? OpenTag(*index, n) : nullptr;
    SetReadSemaphoreProc(area, false);
    if (tag == nullptr) return fail(0, "");
    index->tags.push_back(std::move(tag));
  }
  index->active = index->tags.empty() ? 0 : 1;
  quiet.ReportHeld();
  if (index->active != 0) {
    TagState* tag = index->Active();
    tag->bof = tag->eof = table->record_count == 0;
    GoTop();
  }
}

void CloseIndex(int area) {
  IndexFile* index = IndexOf(area);
  if (index == nullptr) return;
  // A transaction still open keeps its changes (transaction.h).
  if (index->transaction != IndexFile::Transaction::kNone) {
    LeaveTransactionUnit(*index, true);
    ReportPendingError();
  }
  WorkArea& table = index->Table();
  bool shared = NetworkLocking && !table.exclusive;
  for (auto& tag : index->tags) {
    if (!tag->anchor_dirty) continue;
    int err = shared ? os::LockFile(index->file, 0, 1) : 0;
    if (err != 0) {
      SetError(err, "Konnte Index nicht sperren um Anchor-Knoten zu schreiben " +
                        IndexAndTag(*index, *tag));
      continue;
    }
    WriteAnchor(*index, *tag);
    if (shared && (err = os::UnlockFile(index->file, 0, 1)) != 0) {
      SetError(err, "Konnte Index nicht entsperren nach Schreiben des Anchor-Knotens " +
                        IndexAndTag(*index, *tag));
    }
  }
  WriteHeaderIfDirty(*index, "CloseIndex");
  CloseKeyedWriteJournal(*index);
  int err = os::CloseFile(index->file);
  index->file = os::kNoHandle;
  std::string name = index->file_name;
  table.index_state.reset();
  if (err != 0) SetError(err, Ansi("Fehler beim Schließen der Index-Datei:  ") + name);
  HandleSemaphore(area, kLogout);
  ResetSemaphoreBrackets(area);
}

int CurrentOrder() {
  IndexFile* index = IndexOf(CurrentArea);
  return index != nullptr ? index->active : 0;
}

bool ReadAnchorNodes(IndexFile& index) {
  index.node_cache.Clear();
  for (auto& tag : index.tags) {
    tag->path.clear();
    tag->positioned = false;
    Block fresh{};
    std::size_t done = 0;
    int err = os::ReadAt(index.file, static_cast<std::int64_t>(tag->header_page) * kMdxPageSize,
                         fresh.data(), kAnchorBytes, &done);
    if (err == 0 && done != kAnchorBytes) err = os::kErrShortRead;
    if (err != 0) {
      SetError(err, "Fehler beim Lesen der Index-Datei: " + IndexAndTag(index, *tag) +
                        " [ReadAnchorNodes]");
      return false;
    }
    // Only the tree's root and the empty mark change under other writers;
    // the expressions keep their normalised form.
    std::memcpy(tag->anchor.data(), fresh.data(), 8);
    tag->anchor[kTagNotEmpty] = fresh[kTagNotEmpty];
  }
  std::size_t done = 0;
  os::ReadAt(index.file, 0, index.header.data(), kMdxHeaderSize, &done);
  return true;
}

void CheckChangeCounter(IndexFile& index) {
  if (SemaphoreCounterChanged(index.area)) ReadAnchorNodes(index);
}

std::vector<std::string> IndexTagLines(const std::string& file_name) {
  std::vector<std::string> lines;
  std::string name = DefaultExt(TrimBoth(file_name), "MDX");
  if (!HasDirectory(name) && CurrentWorkArea() != nullptr) {
    name = SplitName(CurrentWorkArea()->file_name).dir + name;
  }
  if (!os::FileExists(name)) return lines;
  // An index this program holds open is read through its own handle (an
  // exclusive open keeps every other handle out).
  os::Handle file = os::kNoHandle;
  bool own = false;
  for (int area = 1; area <= kWorkAreaSlots && file == os::kNoHandle; ++area) {
    IndexFile* open = IndexOf(area);
    if (open != nullptr && os::ResolvePath(open->file_name) == os::ResolvePath(name)) {
      file = open->file;
      own = true;
    }
  }
  int err = 0;
  if (file == os::kNoHandle) file = os::OpenFile(name, os::kOpenReadDenyNone, &err);
  if (file == os::kNoHandle) {
    SetError(err, Ansi("Kann Index nicht öffnen: ") + name);
    return lines;
  }
  MdxHeader header{};
  std::size_t done = 0;
  if (os::ReadAt(file, 0, header.data(), kMdxHeaderSize, &done) != 0 || done != kMdxHeaderSize) {
    if (!own) os::CloseFile(file);
    SetError(222, Ansi("Kann Index nicht öffnen: ") + name);
    return lines;
  }
  int count = std::min(TagCount(header), kMaxTags);
  for (int n = 1; n <= count; ++n) {
    Block anchor{};
    std::uint32_t page = Get32(TagEntry(header, n) + kEntryPage);
    if (os::ReadAt(file, static_cast<std::int64_t>(page) * kMdxPageSize, anchor.data(),
                   kAnchorBytes, &done) != 0) {
      continue;
    }
    TagLayout t = ReadTagLayout(anchor);
    std::string tag_name = TrimBoth(TagEntryName(header, n));
    if (tag_name.empty() || TrimBoth(t.key_expr).empty()) continue;
    std::string flags = std::string(t.descending ? ",T," : ",F,") + (t.unique ? "T," : "F,");
    lines.push_back(tag_name + flags + TrimBoth(t.key_expr));
    lines.push_back(t.has_for ? TrimBoth(t.for_expr) : "");
  }
  if (!own) os::CloseFile(file);
  return lines;
}

}  // namespace orvex
