// The value-level operations of the expression library: what the operators
// and functions compute, apart from where the values live.
//
// Text operations work in place on a text of `n` bytes at `s`; every result is
// at most kMaxText characters (texts are cut there) and the caller guarantees
// room for kMaxText characters plus NUL where a text can grow. Counts and
// positions arrive as doubles and are truncated towards zero. Results where
// the language leaves them open are chosen to be safe and are stated below.
#pragma once

#include <cstddef>

namespace orvex {

inline constexpr int kMaxText = 255;

// UPPER / LOWER: byte-wise with the Windows-1252 case mapping.
void UpperText(char* s, int n);
void LowerText(char* s, int n);
// LTRIM: removes leading blanks (code 32) in place; the new length.
int LTrimText(char* s, int n);
// RTRIM / TRIM: the length without trailing blanks (code 32).
int RTrimLength(const char* s, int n);
// LEFT: the first `count` characters; a negative count gives "".
int LeftLength(int n, double count);
// RIGHT: moves the last `count` characters to the front; a count of 0 or
// below gives "". The new length.
int RightText(char* s, int n, double count);
// SUBSTR: `count` characters from 1-based `start` (below 1 counts as 1),
// moved to the front; "" past the end or for count <= 0. The new length.
int SubstrText(char* s, int n, double start, double count);
// STUFF: deletes `count` characters at 1-based `start` (nothing when start is
// outside the text or count <= 0), then inserts `insert` at `start` (at the
// front when start < 1, at the end when past it). `insert` may lie in the
// same buffer after s. The new length, at most kMaxText.
int StuffText(char* s, int n, double start, double count, const char* insert, int insert_n);
// REPLICATE: the text repeated `times` times ("" for times <= 0), cut at
// kMaxText. The new length.
int ReplicateText(char* s, int n, double times);
// C - C: `b` (which may follow `a` in the same buffer) appended to `a` with
// the trailing blanks of `a` moved to the end; cut at kMaxText. The length.
int ConcatMovingBlanks(char* a, int na, const char* b, int nb);
// SOUNDEX: the four-character sound code of the first 100 characters into
// out[0..3] (NUL-terminated). An empty text gives "0000".
void SoundexCode(const char* s, int n, char out[5]);
// AT / $: the 1-based position of `needle` in `hay`; 0 when absent or when
// the needle is empty.
int FindText(const char* needle, int nn, const char* hay, int nh);
// Byte-wise comparison of whole texts (unsigned); a prefix is smaller.
int CompareText(const char* a, int na, const char* b, int nb);
// "=" on texts: `a` begins with the non-empty `b`, or both are empty.
bool TextBeginsWith(const char* a, int na, const char* b, int nb);

// ROUND: the value rounded half away from zero to `decimals` places, in
// decimal (ROUND(2.57, 2) is 2.57, not the 2.56 that multiplying binary
// fractions gives); negative decimals round to tens, hundreds, ...; the
// count is truncated and kept within -30..30.
double RoundHalfAway(double value, double decimals);
// MOD: truncated a modulo truncated b with the sign of a. A zero divisor
// gives the truncated a (no error).
double ModTrunc(double a, double b);
// ^ and **: 2^(y * log2 x) for x > 0. For x <= 0 the mathematical power where
// it exists ((-2)^2 = 4, 0^3 = 0); 0 where it does not (a negative base with
// a fractional exponent) and 1e250 for 0 to a negative power.
double Power(double x, double y);
// CHR: the byte of the truncated code (taken modulo 256; NaN gives 0).
char ChrCode(double code);
// Counts and widths: the truncated value clamped to [lo, hi] (NaN gives lo).
int ClampCount(double value, int lo, int hi);

}  // namespace orvex
