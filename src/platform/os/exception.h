// The framework's base exception: every exception the library raises derives
// from it and carries only its message text (Windows-1252 bytes).
#pragma once

#include <exception>
#include <string>

namespace orvex {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

}  // namespace orvex
