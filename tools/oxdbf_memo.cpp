// oxdbf pack-memo, and the memo field text that dump shows and append stores.
#include "oxdbf_memo.h"

#include <cstdint>
#include <cstring>

#include "common/errors.h"
#include "engine/work_area.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "memo/memo_pad.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"

namespace orvex::tool {

std::string MemoFieldText(int n) {
  std::int32_t block = 0;
  std::memcpy(&block, FieldAddress(n), 4);
  if (block == 0) return "";
  if (!GetMemo(block)) Fail(DbfErrorNo, os::AnsiToUtf8(ErrorDetail));
  std::string text;
  for (std::size_t i = 0; i < MemoPad.lines.size(); ++i) {
    text += MemoPad.lines[i];
    if (MemoPad.ends[i] != kLineEndNone) text += '\n';
  }
  ClearMemoPad();
  const WorkArea* area = CurrentWorkArea();
  return area->oem_text ? os::Cp850ToUtf8(text) : os::AnsiToUtf8(text);
}

bool SetMemoFieldText(int n, const std::string& value) {
  std::string text;
  for (char c : value) {
    if (c == '\n') {
      text += "\r\n";
    } else {
      text += c;
    }
  }
  const WorkArea* area = CurrentWorkArea();
  text = area->oem_text ? os::Utf8ToCp850(text) : os::Utf8ToAnsi(text);
  DbfErrorNo = 0;
  const std::int32_t block = AddMemo(text);
  if (DbfErrorNo != 0) return false;
  std::memcpy(FieldAddress(n), &block, 4);
  return true;
}

namespace {

// pack-memo FILE: rebuilds the memo file with only the referenced memos; the
// table is opened exclusively whatever the options say.
int PackMemo(const Invocation& call) {
  if (call.args.size() != 1) Fail(220, "oxdbf pack-memo FILE [oxdbf]");
  Invocation exclusive = call;
  exclusive.exclusive = true;
  OpenTable(exclusive, call.args[0], false);
  PackMemofile();
  return DbfErrorNo == 0 ? 0 : 1;
}

SubcommandRegistration pack_memo{{"pack-memo", "FILE", {}, PackMemo}};

}  // namespace
}  // namespace orvex::tool
