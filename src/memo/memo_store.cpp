#include "memo/memo_store.h"

#include "engine/entry_points.h"
#include "memo/memo_file.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "memo/memo_stream.h"

namespace orvex {

void InstallMemoStore() {
  MemoStore.open = [](const std::string& table_name) { OpenMemofile(table_name); };
  MemoStore.close = [] { CloseMemofile(); };
  MemoStore.create = [](const std::string& table_name, const std::string& routine) {
    CreateMemofile(table_name, routine);
  };
  MemoStore.recreate = [](const std::string& table_name) { RecreateMemofile(table_name); };
  MemoStore.pack = [] { PackMemofile(); };
  MemoStore.append = [](const std::string& text) { return AddMemo(text); };
  MemoStore.copy_to_end = [](int source_area, std::int32_t block) {
    return CopyMemo(source_area, block);
  };
  MemoStore.copy_to_same_block = [](int source_area, std::int32_t block) {
    return CopyMemoToSameBlock(source_area, block);
  };
  MemoStore.assign_memo = [](std::int32_t* block) { return AssignMemo(block); };
  MemoStore.read = [](std::int32_t block, std::string* text) { return ReadMemo(block, text); };
}

namespace {
// The program's start-up fills the table (orvex_core links this unit whole).
const bool kInstalled = (InstallMemoStore(), true);
}  // namespace

}  // namespace orvex
