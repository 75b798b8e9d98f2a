#include "memo/memo_pad.h"

#include <algorithm>

#include "memo/memo_settings.h"

namespace orvex {

MemoPadLines MemoPad;

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kSoft = static_cast<char>(0x8D);

// Cuts text into pad lines; one instance per FillMemoPad call.
class LineSplitter {
 public:
  LineSplitter(int line_limit)
      : width_(MemoWordWrap ? std::clamp<std::size_t>(MemoLineWidth + 1, 1, kMaxPadLineLength)
                            : kMaxPadLineLength),
        line_limit_(line_limit) {}

  // False once the caller's line limit is reached.
  bool Emit(std::uint8_t end) {
    ++produced_;
    if (static_cast<int>(MemoPad.lines.size()) < MaxMemoLines) AddPadLine(line_, end);
    line_.clear();
    return line_limit_ <= 0 || produced_ < line_limit_;
  }

  bool Append(char c) {
    if (MemoWordWrap && after_wrap_ && c == ' ' && line_.empty()) return true;
    after_wrap_ = false;
    if (line_.size() < width_) {
      line_.push_back(c);
      return true;
    }
    if (!MemoWordWrap) {
      if (!Emit(kLineEndNone)) return false;
      line_.push_back(c);
      return true;
    }
    return WrapAndAppend(c);
  }

  // A run without line ends, without word wrap: cut after every full line.
  bool AppendRun(std::string_view run) {
    while (!run.empty()) {
      if (line_.size() == width_ && !Emit(kLineEndNone)) return false;
      const std::size_t take = std::min(run.size(), width_ - line_.size());
      line_.append(run.substr(0, take));
      run.remove_prefix(take);
    }
    return true;
  }

  // A single break inside a paragraph: the lines join with one blank.
  bool Join() {
    if (!line_.empty() && line_.back() != ' ') return Append(' ');
    return true;
  }

  bool Finish() { return line_.empty() || Emit(kLineEndNone); }

 private:
  bool WrapAndAppend(char c) {
    after_wrap_ = true;
    if (c == ' ') return EmitTrimmed(line_, kLineEndSoft);
    const std::size_t blank = line_.rfind(' ');
    if (blank == std::string::npos) {
      if (!Emit(kLineEndNone)) return false;
      line_.push_back(c);
      after_wrap_ = false;
      return true;
    }
    std::string rest = line_.substr(blank + 1);
    if (!EmitTrimmed(line_.substr(0, blank), kLineEndSoft)) return false;
    line_ = rest;
    line_.push_back(c);
    after_wrap_ = false;
    return true;
  }

  bool EmitTrimmed(std::string text, std::uint8_t end) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    line_ = std::move(text);
    return Emit(end);
  }

  std::size_t width_;
  int line_limit_;
  int produced_ = 0;
  std::string line_;
  bool after_wrap_ = false;
};

}  // namespace

void ClearMemoPad() {
  MemoPad.lines.clear();
  MemoPad.ends.clear();
}

void AddPadLine(std::string_view line, std::uint8_t end) {
  MemoPad.lines.emplace_back(line.substr(0, kMaxPadLineLength));
  MemoPad.ends.push_back(end);
}

void FillMemoPad(std::string_view text, int line_limit) {
  ClearMemoPad();
  LineSplitter splitter(line_limit);
  const std::size_t n = text.size();
  // Index after a break at i: its LF, if any, is dropped.
  auto after_break = [&](std::size_t i) { return i + 1 < n && text[i + 1] == kLf ? i + 2 : i + 1; };
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c != kCr && c != kSoft) {
      if (MemoWordWrap) {
        if (!splitter.Append(c)) return;
        ++i;
        continue;
      }
      // Without word wrap the run up to the next line end goes over whole.
      const std::size_t end = text.find_first_of("\r\x8D", i);
      const std::size_t stop = end == std::string_view::npos ? n : end;
      if (!splitter.AppendRun(text.substr(i, stop - i))) return;
      i = stop;
      continue;
    }
    if (!MemoWordWrap) {
      if (!splitter.Emit(c == kCr ? kLineEndHard : kLineEndSoft)) return;
      i = after_break(i);
      continue;
    }
    if (c == kSoft) {
      if (!splitter.Join()) return;
      i = after_break(i);
      continue;
    }
    int breaks = 0;
    while (i < n && text[i] == kCr) {
      ++breaks;
      i = after_break(i);
    }
    if (breaks == 1 && i < n) {
      if (!splitter.Join()) return;
      continue;
    }
    for (int b = 0; b < breaks; ++b) {
      if (!splitter.Emit(kLineEndHard)) return;
    }
  }
  splitter.Finish();
}

std::string MemoPadText() {
  std::string text;
  for (std::size_t i = 0; i < MemoPad.lines.size(); ++i) {
    text += MemoPad.lines[i];
    if (MemoPad.ends[i] != kLineEndNone) {
      text.push_back(static_cast<char>(MemoPad.ends[i]));
      text.push_back(kLf);
    }
  }
  return text;
}

}  // namespace orvex
