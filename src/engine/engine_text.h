// Small helpers the engine's units share for building messages.
#pragma once

#include <string>

#include "platform/os/codepage.h"

namespace orvex {

// A message literal written in UTF-8 in the source, as library text
// (Windows-1252).
inline std::string Ansi(const char* utf8) { return os::Utf8ToAnsi(utf8); }

// "Datenbank \"<file>\"": the start of the engine's position messages.
inline std::string DatabaseText(const std::string& file_name) {
  return "Datenbank \"" + file_name + "\"";
}

}  // namespace orvex
