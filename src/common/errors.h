// Error numbers and the one way the library reports a failure.
//
// An operation calls SetError(number, detail). The detail names the file or
// value and ends with the failing routine in brackets ("... [GetDbfRecord]").
// With AutoReport on, SetError hands over to HandleError at once, which calls
// the installed ErrorHook, or raises EOrvexError (RaiseOnError), or shows the
// "Programm angehalten." message box and ends the process with the error
// number as exit status (the OS keeps its low 8 bits).
//
// The state is process-wide and unguarded: the library runs on one thread.
// All texts are Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/os/exception.h"

namespace orvex {

class EOrvexError : public Exception {
 public:
  using Exception::Exception;
};

// Error number of the most recent operation (0 = success).
extern std::uint16_t DbfErrorNo;
// Number of the last error set or handled; read by GetErrorMessage.
extern std::uint16_t ReportedErrorNo;
// Detail text of the last SetError call.
extern std::string ErrorDetail;
// SetError calls HandleError at once when true.
extern bool AutoReport;
// HandleError raises EOrvexError when true, else stops the program.
extern bool RaiseOnError;
// Called by HandleError instead of raising or stopping, when set.
extern std::function<void()> ErrorHook;
// Set once the program-stopping path has run; HandleError then does nothing.
extern bool Halted;

// The standard text of a number: "" for 0, "Unbekannter Fehler" for numbers
// without a text of their own.
const std::string& StandardErrorText(int number);

// "Fehler Nr. <n> (<standard text>)", or "" for 0.
std::string ErrorText(int number);

// The disk-full error of the file layer (its standard text is "Unbekannter
// Fehler").
inline constexpr int kDiskFullError = 112;

// Stores number and detail; calls HandleError when AutoReport is on. The
// detail of 112 starts with "Kein Platz mehr auf dem Speichermedium. ".
void SetError(int number, const std::string& detail);

// Reports the current DbfErrorNo: hook, exception or program stop.
void HandleError();

// Reports a pending error (one stored while AutoReport was off) when
// AutoReport is on.
void ReportPendingError();

// The exit status of a program stopped by error `number`: the number itself,
// of which the OS keeps the low 8 bits; 1 when those bits are all zero (1280,
// say), so that a stopped program never looks successful.
int ExitStatusFor(int number);

// Returns ErrorDetail, clears it and sets ReportedErrorNo to 0.
std::string TakeErrorDetail();

// ErrorText(ReportedErrorNo) + CR LF + TakeErrorDetail(), or "" when nothing
// was reported.
std::string GetErrorMessage();

// Switch an option and return its previous value.
bool SetRaiseOnError(bool flag);
bool SetAutoReport(bool flag);

[[noreturn]] void RaiseOrvexError(const std::string& message);

// Engine buffers: zero-filled blocks of a 16-bit size. FreeMem reports error 9
// for an empty reference; the reference is empty afterwards in both cases.
void* AllocMem16(std::uint16_t size);
void FreeMem(void*& block, std::uint16_t size);
template <typename T>
void FreeMem(T*& block, std::uint16_t size) {
  void* p = block;
  FreeMem(p, size);
  block = nullptr;
}
// The memory the engine may still allocate; always 2147483647 here.
std::int32_t FreeMemory();

// Puts the error state back to its start-up values (tests and start-up).
void ResetErrorState();

}  // namespace orvex
