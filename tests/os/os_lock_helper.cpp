// A second program for the file-layer tests. It reads one command per line
// from stdin and answers each with "ok" or "err <number>":
//   open <path> <mode> | create <path> <mode> | lock <offset> <length> |
//   unlock <offset> <length> | write <offset> <text> | truncate <size> |
//   close | exit
// Only one handle is held at a time; its locks go when the program ends.
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/os/files.h"

int main() {
  using namespace orvex::os;
  Handle handle = kNoHandle;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    int error = 0;
    if (command == "open" || command == "create") {
      std::string path;
      int mode = 0;
      in >> path >> mode;
      handle = command == "open" ? OpenFile(path, mode, &error) : CreateFile(path, mode, &error);
    } else if (command == "lock" || command == "unlock") {
      std::uint64_t offset = 0, length = 0;
      in >> offset >> length;
      error =
          command == "lock" ? LockFile(handle, offset, length) : UnlockFile(handle, offset, length);
    } else if (command == "write") {
      std::int64_t offset = 0;
      std::string text;
      in >> offset >> text;
      error = WriteAt(handle, offset, text.data(), text.size());
    } else if (command == "truncate") {
      std::int64_t size = 0;
      in >> size;
      error = Truncate(handle, size);
    } else if (command == "close") {
      error = CloseFile(handle);
      handle = kNoHandle;
    } else if (command == "exit") {
      break;
    } else {
      error = -1;
    }
    std::cout << (error == 0 ? std::string("ok") : "err " + std::to_string(error)) << std::endl;
  }
  return 0;
}
