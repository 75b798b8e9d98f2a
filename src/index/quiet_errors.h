// Holds back the immediate report of errors while an operation cleans up
// after a failure, so that the report (which may raise or end the program)
// comes after everything was released.
#pragma once

#include <string>

#include "common/errors.h"

namespace orvex {

class QuietErrors {
 public:
  QuietErrors() : saved_(SetAutoReport(false)) {}
  ~QuietErrors() { SetAutoReport(saved_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

  // Ends the quiet time and reports the error recorded meanwhile (if any).
  void ReportHeld() {
    SetAutoReport(saved_);
    if (DbfErrorNo != 0) {
      int number = DbfErrorNo;
      std::string detail = ErrorDetail;
      SetError(number, detail);
    }
  }

 private:
  bool saved_;
};

}  // namespace orvex
