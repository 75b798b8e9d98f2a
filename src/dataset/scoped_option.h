// ScopedOption: gives a process-wide option a value for the lifetime of the
// object and puts the old value back on every path.
#pragma once

namespace orvex {

template <typename T>
class ScopedOption {
 public:
  ScopedOption(T& option, T value) : option_(option), saved_(option) { option_ = value; }
  ~ScopedOption() { option_ = saved_; }
  ScopedOption(const ScopedOption&) = delete;
  ScopedOption& operator=(const ScopedOption&) = delete;

 private:
  T& option_;
  T saved_;
};

}  // namespace orvex
