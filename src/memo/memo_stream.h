// AssignMemo: a memo of the current work area as a text stream, bound to the
// address of the M field's block number (in the unpacked buffer, say).
//
// Modes: input loads the memo (GetMemo) and yields its MemoPad lines, each
// followed by its line-end byte (CR or 0x8D; none for kind 0) and LF; output
// starts an empty memo; append loads the memo and continues at its end.
// Written text is collected into lines of at most 254 characters: CR LF, a
// lone CR or LF (hard) and 0x8D LF or 0x8D (soft) end lines and are not kept.
// Close after output or append writes the lines with EditMemoCloseMemo and
// stores the new block number at the bound address (0 for an empty memo). An
// unclosed output stream writes nothing.
//
// Result codes (result(), and the return of Open and Close): 0 success, 100
// the memo cannot be read, 101 more than MaxMemoLines lines or the write
// failed (the bound block number is then left as it was), 102 a request in the
// wrong mode, 104 the stream is not open. A failed request also sets the
// stream's badbit.
#pragma once

#include <cstdint>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

namespace orvex {

enum class MemoStreamMode { kInput, kOutput, kAppend };

class MemoStreamBuf : public std::streambuf {
 public:
  explicit MemoStreamBuf(std::int32_t* block) : block_(block) {}
  int Open(MemoStreamMode mode);
  int Close();
  int result() const { return result_; }

 protected:
  int_type underflow() override;
  int_type overflow(int_type c) override;

 private:
  int Fail(int code);
  bool EndLine(std::uint8_t end);

  std::int32_t* block_;
  bool open_ = false;
  MemoStreamMode mode_ = MemoStreamMode::kInput;
  std::string input_;        // the memo as read, for input mode
  std::string line_;         // the line being written
  bool pending_cr_ = false;  // a CR or 0x8D was written; an LF right after it belongs to it
  int result_ = 0;
};

class MemoStream : public std::iostream {
 public:
  explicit MemoStream(std::int32_t* block) : std::iostream(nullptr), buf_(block) { rdbuf(&buf_); }
  // Open and Close clear the stream state first and set badbit on failure.
  int Open(MemoStreamMode mode);
  int Close();
  int result() const { return buf_.result(); }

 private:
  MemoStreamBuf buf_;
};

// The memo store's AssignMemo entry: a stream opened for input on the memo
// whose block number is at `block`; nullptr when it cannot be read.
std::unique_ptr<std::istream> AssignMemo(std::int32_t* block);

}  // namespace orvex
