#include "platform/data/database_error.h"

namespace orvex::data {

std::string FormatMessage(const char* text, const std::string& value) {
  std::string message(text);
  std::size_t at = message.find("%s");
  if (at != std::string::npos) message.replace(at, 2, value);
  return message;
}

void DatabaseError(const std::string& message, const std::string& component) {
  throw EDatabaseError(component.empty() ? message : component + ": " + message);
}

}  // namespace orvex::data
