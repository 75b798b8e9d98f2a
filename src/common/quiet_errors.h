// Holds back the immediate report of errors while an operation cleans up
// after a failure, so that the report (which may raise or end the program)
// comes after everything was released.
#pragma once

#include "common/errors.h"

namespace orvex {

class QuietErrors {
 public:
  QuietErrors() : saved_(SetAutoReport(false)) {}
  ~QuietErrors() { SetAutoReport(saved_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

  // Ends the quiet time and reports the error recorded meanwhile (if any),
  // with its text as recorded.
  void ReportHeld() {
    SetAutoReport(saved_);
    ReportPendingError();
  }

 private:
  bool saved_;
};

}  // namespace orvex
