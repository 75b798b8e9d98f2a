#include "memo/memo_settings.h"

namespace orvex {

std::uint16_t MemoBlockSize = 512;
int MaxMemoLines = 1024;
bool MemoWordWrap = false;
int MemoLineWidth = 78;
int MemoOpenModeOverride = -1;
std::uint32_t MemoBlocksRead = 0;
std::uint32_t MemoBlocksFreed = 0;

void ResetMemoSettings() {
  MemoBlockSize = 512;
  MaxMemoLines = 1024;
  MemoWordWrap = false;
  MemoLineWidth = 78;
  MemoOpenModeOverride = -1;
  MemoBlocksRead = 0;
  MemoBlocksFreed = 0;
}

}  // namespace orvex
