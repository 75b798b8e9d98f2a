// Index keys: how a value becomes the bytes of a key, and how two keys of a
// tag compare.
//
// Character keys are OEM text folded to lower case, with the German umlauts
// and sharp s written out (Müller and MUELLER both give "mueller"); folding
// never changes the length of a key. Numeric keys are 12-byte decimal keys
// (an exponent byte, a sign-and-digit-count byte and up to 20 packed
// digits). Date keys are the day number as an 8-byte double. A descending
// tag reverses every comparison.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

inline constexpr int kNumericKeyLength = 12;
inline constexpr int kDateKeyLength = 8;

// Folds OEM text in place (see the file comment).
void FoldKeyText(std::string& text);

// True when folding would change some byte of the text (upper-case letters,
// the OEM umlauts and sharp s): such a key was not made by folding.
bool HasFoldableBytes(const std::uint8_t* key, int length);

// The 12-byte decimal key of a number written as decimal text; `decimals`
// is the number of decimals of the expression that produced it.
std::array<std::uint8_t, kNumericKeyLength> EncodeNumericText(std::string_view text, int decimals);
// The same for a value, first written with `decimals` decimals.
std::array<std::uint8_t, kNumericKeyLength> EncodeNumber(double value, int decimals);
// The value a decimal key stands for (for messages and key texts).
double DecodeNumericKey(const std::uint8_t* key);

// The three comparisons; negative, zero or positive.
int CompareCharKeys(const std::uint8_t* a, const std::uint8_t* b, int length);
int CompareNumericKeys(const std::uint8_t* a, const std::uint8_t* b);
int CompareDateKeys(const std::uint8_t* a, const std::uint8_t* b);

// How the keys of one tag compare: key type and direction.
struct KeyOrder {
  char key_type = 'C';   // C, N, F or D
  int key_length = 0;
  bool descending = false;
  int Compare(const std::uint8_t* a, const std::uint8_t* b) const {
    if (descending) std::swap(a, b);
    switch (key_type) {
      case 'N':
      case 'F':
        return CompareNumericKeys(a, b);
      case 'D':
        return CompareDateKeys(a, b);
      default:
        return CompareCharKeys(a, b, key_length);
    }
  }
  // Equal keys: bytes over the key length; numeric keys by value, since
  // writers differ in the digit count they store for one value.
  bool SameKey(const std::uint8_t* a, const std::uint8_t* b) const {
    if (key_type == 'N' || key_type == 'F') return CompareNumericKeys(a, b) == 0;
    return std::char_traits<char>::compare(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b),
                                           static_cast<std::size_t>(key_length)) == 0;
  }
};

}  // namespace orvex
