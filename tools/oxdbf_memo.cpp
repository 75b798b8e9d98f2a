// oxdbf pack-memo, and the memo field text that dump shows and append stores.
#include "oxdbf_memo.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.h"
#include "engine/field_values.h"
#include "engine/work_area.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"

namespace orvex::tool {

namespace {

// Texts waiting for StorePendingMemos: field number and stored bytes.
std::vector<std::pair<int, std::string>> pending;

}  // namespace

bool TryMemoFieldText(int n, std::string* text) {
  text->clear();
  std::string stored;
  const bool report = SetAutoReport(false);
  DbfErrorNo = 0;
  const bool read = ReadFieldMemo(n, &stored) && DbfErrorNo == 0;
  SetAutoReport(report);
  if (!read) return false;
  // Visual FoxPro's general, picture and blob memos hold bytes, no text.
  const FieldDesc& field = CurrentWorkArea()->fields[static_cast<std::size_t>(n - 1)];
  if (field.raw && field.type != 'M') {
    *text = HexText(stored);
    return true;
  }
  std::string lines;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    char c = stored[i];
    bool soft = c == '\x8D' && i + 1 < stored.size() && stored[i + 1] == '\n';
    if (c == '\r' || soft) {
      if (i + 1 < stored.size() && stored[i + 1] == '\n') ++i;
      c = '\n';
    }
    lines += c;
  }
  *text = StoredToUtf8(lines);
  return true;
}

std::string MemoFieldText(int n) {
  std::string text;
  if (!TryMemoFieldText(n, &text)) FailAsReported();
  return text;
}

std::string SetMemoFieldText(int n, const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\n' && (i == 0 || value[i - 1] != '\r')) text += '\r';
    text += value[i];
  }
  std::string stored;
  if (!Utf8ToStored(text, &stored)) return "Zeichen außerhalb der Codepage der Tabelle";
  pending.emplace_back(n, stored);
  return "";
}

void StorePendingMemos() {
  for (const auto& [n, text] : pending) {
    DbfErrorNo = 0;
    const std::int32_t block = StoreMemo(text);
    if (DbfErrorNo != 0) FailAsReported();
    // The unpacked buffer holds an M field's block number as a 32-bit
    // integer of this (little-endian) machine, which is also the layout of
    // Visual FoxPro's binary block numbers.
    std::memcpy(FieldAddress(n), &block, 4);
  }
  pending.clear();
}

namespace {

// pack-memo FILE: rebuilds the memo file with only the referenced memos; the
// table is opened exclusively whatever the options say.
int PackMemo(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  Invocation exclusive = call;
  exclusive.exclusive = true;
  OpenTable(exclusive, call.args[0], false);
  PackMemofile();
  return DbfErrorNo == 0 ? 0 : 1;
}

SubcommandRegistration pack_memo{{"pack-memo",
                                  "FILE",
                                  {},
                                  PackMemo,
                                  "Rewrites the memo file of FILE with only the memos its records\n"
                                  "refer to, reclaiming the space of replaced and deleted texts.\n"
                                  "Needs the table for itself: it is opened exclusively.\n"
                                  "Example:\n  oxdbf pack-memo films.dbf\n"}};

}  // namespace
}  // namespace orvex::tool
