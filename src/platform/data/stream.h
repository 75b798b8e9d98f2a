// The abstract stream through which BLOB fields read and write their
// contents (TDataSet::CreateBlobStream).
#pragma once

#include <cstdint>

namespace orvex::data {

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// Seek origins.
inline constexpr int kFromBeginning = 0;
inline constexpr int kFromCurrent = 1;
inline constexpr int kFromEnd = 2;

class TStream {
 public:
  virtual ~TStream() = default;
  // The number of bytes read / written (0 when nothing could be).
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // The new position.
  virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
};

}  // namespace orvex::data
