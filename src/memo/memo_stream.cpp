#include "memo/memo_stream.h"

#include "common/errors.h"
#include "memo/memo_ops.h"
#include "memo/memo_pad.h"
#include "memo/memo_settings.h"

namespace orvex {

namespace {
constexpr int kResultReadFailed = 100;
constexpr int kResultWriteFailed = 101;
constexpr int kResultWrongMode = 102;
constexpr int kResultNotOpen = 104;
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kSoft = static_cast<char>(0x8D);
}  // namespace

int MemoStreamBuf::Fail(int code) {
  result_ = code;
  return code;
}

int MemoStreamBuf::Open(MemoStreamMode mode) {
  result_ = 0;
  open_ = false;
  mode_ = mode;
  input_.clear();
  line_.clear();
  pending_cr_ = false;
  setg(nullptr, nullptr, nullptr);
  if (mode == MemoStreamMode::kOutput) {
    ClearMemoPad();
  } else {
    if (!GetMemo(*block_)) return Fail(kResultReadFailed);
    if (mode == MemoStreamMode::kInput) {
      for (std::size_t i = 0; i < MemoPad.lines.size(); ++i) {
        input_ += MemoPad.lines[i];
        if (MemoPad.ends[i] != kLineEndNone) input_.push_back(static_cast<char>(MemoPad.ends[i]));
        input_.push_back(kLf);
      }
      setg(input_.data(), input_.data(), input_.data() + input_.size());
    } else if (!MemoPad.lines.empty() && MemoPad.ends.back() == kLineEndNone) {
      line_ = MemoPad.lines.back();
      MemoPad.lines.pop_back();
      MemoPad.ends.pop_back();
    }
  }
  open_ = true;
  return 0;
}

MemoStreamBuf::int_type MemoStreamBuf::underflow() {
  if (!open_) return Fail(kResultNotOpen), traits_type::eof();
  if (mode_ != MemoStreamMode::kInput) return Fail(kResultWrongMode), traits_type::eof();
  return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

bool MemoStreamBuf::EndLine(std::uint8_t end) {
  if (static_cast<int>(MemoPad.lines.size()) >= MaxMemoLines)
    return Fail(kResultWriteFailed), false;
  AddPadLine(line_, end);
  line_.clear();
  return true;
}

MemoStreamBuf::int_type MemoStreamBuf::overflow(int_type c) {
  if (!open_) return Fail(kResultNotOpen), traits_type::eof();
  if (mode_ == MemoStreamMode::kInput) return Fail(kResultWrongMode), traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  const bool follows_break = pending_cr_;
  pending_cr_ = false;
  if (ch == kLf && follows_break) return c;
  if (ch == kCr || ch == kLf || ch == kSoft) {
    if (!EndLine(ch == kSoft ? kLineEndSoft : kLineEndHard)) return traits_type::eof();
    pending_cr_ = ch != kLf;
    return c;
  }
  if (line_.size() == kMaxPadLineLength && !EndLine(kLineEndNone)) return traits_type::eof();
  line_.push_back(ch);
  return c;
}

int MemoStreamBuf::Close() {
  if (!open_) return Fail(kResultNotOpen);
  open_ = false;
  setg(nullptr, nullptr, nullptr);
  if (mode_ == MemoStreamMode::kInput) return result_;
  if (result_ != 0) {
    ClearMemoPad();
    return result_;
  }
  if (!line_.empty() && !EndLine(kLineEndNone)) {
    ClearMemoPad();
    return result_;
  }
  DbfErrorNo = 0;
  const std::int32_t written = EditMemoCloseMemo(*block_);
  if (DbfErrorNo != 0) return Fail(kResultWriteFailed);
  *block_ = written;
  return result_;
}

int MemoStream::Open(MemoStreamMode mode) {
  clear();
  const int code = buf_.Open(mode);
  if (code != 0) setstate(std::ios::badbit);
  return code;
}

int MemoStream::Close() {
  clear();
  const int code = buf_.Close();
  if (code != 0) setstate(std::ios::badbit);
  return code;
}

std::unique_ptr<std::istream> AssignMemo(std::int32_t* block) {
  auto stream = std::make_unique<MemoStream>(block);
  if (stream->Open(MemoStreamMode::kInput) != 0) return nullptr;
  return stream;
}

}  // namespace orvex
