// Helpers shared by the benchmark programs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/work_area.h"

namespace orvex::bench {

// Writes text into a C or D field of the current area's unpacked buffer
// (a length byte, then the characters).
inline void SetText(int field, const std::string& text) {
  std::uint8_t* p = FieldAddress(field);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

// The command line of every benchmark: [count] [folder]. The folder defaults
// to $TMPDIR, else /tmp.
inline int CountArgument(int argc, char** argv, int default_count) {
  return argc > 1 ? std::atoi(argv[1]) : default_count;
}
inline std::string FolderArgument(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  return argc > 2 ? argv[2] : (tmp != nullptr ? tmp : "/tmp");
}

// The best of several runs; results compare with `<` (higher is better).
template <typename Run>
auto BestOf(int runs, Run run) {
  auto best = run();
  for (int i = 1; i < runs; ++i) {
    auto next = run();
    if (best < next) best = next;
  }
  return best;
}

}  // namespace orvex::bench
