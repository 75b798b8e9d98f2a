// The MemoPad: the process-wide line buffer that holds the memo being read or
// edited, and the conversions between memo text and its lines.
//
// A line holds at most 254 characters and has a line-end kind: 0 none (the
// line continues on the next, or it is the last), 13 hard return (stored as
// CR LF), 141 soft return (stored as 0x8D LF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

inline constexpr std::uint8_t kLineEndNone = 0;
inline constexpr std::uint8_t kLineEndHard = 13;
inline constexpr std::uint8_t kLineEndSoft = 141;
inline constexpr std::size_t kMaxPadLineLength = 254;

struct MemoPadLines {
  std::vector<std::string> lines;
  std::vector<std::uint8_t> ends;  // one line-end kind per line
};

// The process-wide MemoPad (one memo at a time).
extern MemoPadLines MemoPad;

// Empties the MemoPad.
void ClearMemoPad();

// Replaces the MemoPad's content by the lines of `text`. Without
// MemoWordWrap a line ends at CR (kind 13) or 0x8D (kind 141), whose
// following LF is dropped, or after 254 characters (kind 0); the text comes
// back unchanged from MemoPadText. With MemoWordWrap lines hold at most
// MemoLineWidth + 1 characters: a single break (or a soft return) inside a
// paragraph becomes a blank, two or more hard breaks end the paragraph (one
// line per extra break), and a full line is broken after its last blank
// (kind 141; blanks at the break are skipped) or, without a blank, cut
// (kind 0). Only MaxMemoLines lines are kept; a `line_limit` above 0 stops
// after that many lines.
void FillMemoPad(std::string_view text, int line_limit);

// Appends one line (cut to 254 characters) with its line-end kind.
void AddPadLine(std::string_view line, std::uint8_t end);

// The stored form of the MemoPad: each line followed by its line-end byte and
// LF when the kind is not 0.
std::string MemoPadText();

}  // namespace orvex
