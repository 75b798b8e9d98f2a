#include "common/file_replace.h"

namespace orvex {

int ReplaceWithWrittenFile(os::Handle file, const std::string& temp, const std::string& name) {
  int error = os::FlushFileBuffers(file);
  const int close_error = os::CloseFile(file);
  if (error == 0) error = close_error;
  if (error == 0) error = os::ReplaceFile(temp, name);
  if (error != 0) {
    os::DeleteFile(temp);
    return error;
  }
  return os::FlushDirectory(name);
}

}  // namespace orvex
