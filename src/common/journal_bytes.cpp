#include "common/journal_bytes.h"

#include "platform/os/files.h"

namespace orvex {

std::uint32_t JournalChecksum(std::string_view bytes) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return hash;
}

void PutLe(std::string* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

std::uint64_t GetLe(std::string_view in, std::size_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
  return value;
}

bool ReadWholeFile(const std::string& name, std::string* bytes, int* error) {
  const os::Handle file = os::OpenFile(name, os::kOpenRead, error);
  if (file == os::kNoHandle) return false;
  const std::int64_t size = os::FileSize(file, error);
  if (size >= 0) {
    bytes->resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    *error = os::ReadAt(file, 0, bytes->data(), bytes->size(), &done);
    bytes->resize(done);
  }
  os::CloseFile(file);
  return *error == 0;
}

}  // namespace orvex
