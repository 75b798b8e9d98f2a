// Key encodings and comparisons.
#include "index/mdx_keys.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace orvex::test {
namespace {

std::string Hex(const std::array<std::uint8_t, kNumericKeyLength>& k) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (std::uint8_t b : k) s += std::string{d[b >> 4], d[b & 15], ' '};
  return s.substr(0, s.size() - 1);
}

TEST(NumericKeys, EncodeAsTheDecimalKey) {
  struct Case {
    double value;
    int decimals;
    const char* hex;
  };
  const Case cases[] = {
      {0, 0, "34 01 00 00 00 00 00 00 00 00 00 00"},
      {0, 2, "34 01 00 00 00 00 00 00 00 00 00 00"},
      {1, 0, "35 29 10 00 00 00 00 00 00 00 00 00"},
      {277, 0, "37 29 27 70 00 00 00 00 00 00 00 00"},
      {-0.5, 1, "34 85 50 00 00 00 00 00 00 00 00 00"},
      {0.001, 3, "32 05 10 00 00 00 00 00 00 00 00 00"},
      {1.5, 2, "35 0D 15 00 00 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(EncodeNumber(c.value, c.decimals)), c.hex) << c.value;
}

TEST(NumericKeys, OrderAndOtherDigitCounts) {
  const double ascending[] = {-1000, -1, -0.5, 0, 0.001, 1, 1.5, 277, 1e9};
  for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
    auto a = EncodeNumber(ascending[i], 3), b = EncodeNumber(ascending[i + 1], 3);
    EXPECT_LT(CompareNumericKeys(a.data(), b.data()), 0)
        << ascending[i] << " < " << ascending[i + 1];
    EXPECT_GT(CompareNumericKeys(b.data(), a.data()), 0);
  }
  // Another writer stores 277 with digit count 3: the same value.
  std::array<std::uint8_t, 12> other{0x37, 0x0D, 0x27, 0x70};
  EXPECT_EQ(CompareNumericKeys(other.data(), EncodeNumber(277, 0).data()), 0);
}

// Numbers of more than 20 digits before the point keep their order up to
// the largest exponent the key byte holds (1e202); two numbers of one
// exponent that differ only in an odd last digit differ.
TEST(NumericKeys, LargeNumbersAndOddDigitCounts) {
  const double ascending[] = {1e19, 1e20, 2e20, 1e21, 1e25, 1e100, 1e201, 1e202};
  for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
    auto a = EncodeNumber(ascending[i], 0), b = EncodeNumber(ascending[i + 1], 0);
    EXPECT_LT(CompareNumericKeys(a.data(), b.data()), 0)
        << ascending[i] << " < " << ascending[i + 1];
    auto na = EncodeNumber(-ascending[i], 0), nb = EncodeNumber(-ascending[i + 1], 0);
    EXPECT_GT(CompareNumericKeys(na.data(), nb.data()), 0)
        << -ascending[i] << " > " << -ascending[i + 1];
  }
  auto a = EncodeNumber(1.25, 2), b = EncodeNumber(1.27, 2);
  EXPECT_LT(CompareNumericKeys(a.data(), b.data()), 0);
  // The same from stored digits: 202 and 203 digits before the point.
  auto e = EncodeNumericText("1" + std::string(201, '0'), 0),
       f = EncodeNumericText("1" + std::string(202, '0'), 0);
  EXPECT_LT(CompareNumericKeys(e.data(), f.data()), 0);
  auto c = EncodeNumericText("12345678901", 0), d = EncodeNumericText("12345678902", 0);
  EXPECT_LT(CompareNumericKeys(c.data(), d.data()), 0);
  EXPECT_GT(CompareNumericKeys(d.data(), c.data()), 0);
}

TEST(NumericKeys, ANumberIsWrittenAsPrintfWritesIt) {
  // The key of a value comes from its text with the expression's decimals;
  // that text must be printf's "%.*f", digit for digit, or stored keys change.
  std::mt19937_64 random(5);
  std::vector<double> values = {
      0.0,   -0.0,    0.5,     -0.5,     2.5,    0.125,      1e20,
      -1e20, 9.99e19, 1e21,    1.5e22,   1e300,  -1e300,     1e-7,
      0.045, 1.005,   DBL_MAX, -DBL_MAX, 5e-324, 1e15 + 0.5, 123456789.123456789};
  for (int i = 0; i < 20000; ++i) {
    const int kind = static_cast<int>(random() % 4);
    double v = 0;
    std::uint64_t bits = random();
    if (kind == 0) v = static_cast<double>(static_cast<std::int64_t>(bits % 2000000) - 1000000);
    if (kind == 1) v = static_cast<double>(static_cast<std::int64_t>(bits)) / 1e4;
    if (kind == 2) std::memcpy(&v, &bits, sizeof v);
    if (kind == 3) v = static_cast<double>(bits % 100000) / 1000.0 - 50.0;
    values.push_back(v);
  }
  for (double v : values) {
    if (!std::isfinite(v)) continue;
    for (int decimals : {0, 1, 2, 4, 9, 15, 30}) {
      char text[400];
      std::snprintf(text, sizeof text, "%.*f", decimals, v);
      ASSERT_EQ(Hex(EncodeNumber(v, decimals)), Hex(EncodeNumericText(text, decimals)))
          << text << " " << decimals;
    }
  }
}

TEST(CharacterKeys, FoldingKeepsTheLength) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"M\x81ller", "muelle"},  // Müller (OEM) keeps six characters
      {"MUELLER", "mueller"},
      {"M\x9Aller ", "mueller"},  // MÜLLER with a trailing blank
      {"Stra\xE1"
       "e",
       "strass"},         // Straße
      {"ab\x84", "aba"},  // an umlaut in the last place
      {"\x8E"
       "rger",
       "aerge"},  // Ärger
  };
  for (const Case& c : cases) {
    std::string s = c.in;
    FoldKeyText(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

TEST(CharacterKeys, EveryByteThatFoldsIsFoldedWhereverItStands) {
  // Lower-case texts pass folding untouched; one byte that folds (or its
  // neighbours in the code table, which do not) at any place of texts of
  // every length up to 40 must come out as a byte-by-byte fold gives it.
  const std::string plain = "film number 1234567890 abc-xyz @[`{ 0123";
  for (std::size_t length = 0; length <= plain.size(); ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (unsigned char c :
           {'A', 'Z', 'M', '@', '[', 'a', 'z', '\x7F', '\x8E', '\x99', '\x9A', '\x80', '\xFF'}) {
        std::string s = plain.substr(0, length);
        s[at] = static_cast<char>(c);
        // Capitals to lower case; the OEM capital umlauts to the pairs of
        // their small letters (the last one keeps its first letter only).
        std::string want = s;
        if (c >= 'A' && c <= 'Z') want[at] = static_cast<char>(c - 'A' + 'a');
        const char* pair = c == 0x8E ? "ae" : c == 0x99 ? "oe" : c == 0x9A ? "ue" : nullptr;
        if (pair != nullptr) {
          want.replace(at, 1, pair);
          want.resize(length);
        }
        FoldKeyText(s);
        EXPECT_EQ(s, want) << "length " << length << " at " << at << " byte " << int{c};
      }
    }
  }
}

TEST(KeyOrder, DescendingReversesEveryType) {
  auto n1 = EncodeNumber(1, 0), n2 = EncodeNumber(2, 0);
  double d1 = 2451545, d2 = 1e100;
  const std::uint8_t c1[] = "abc", c2[] = "abd";
  for (bool descending : {false, true}) {
    int sign = descending ? -1 : 1;
    KeyOrder numeric{'N', 12, descending}, date{'D', 8, descending}, text{'C', 3, descending};
    EXPECT_EQ(numeric.Compare(n1.data(), n2.data()) < 0 ? -1 : 1, -sign);
    EXPECT_EQ(date.Compare(reinterpret_cast<const std::uint8_t*>(&d1),
                           reinterpret_cast<const std::uint8_t*>(&d2)),
              -sign);
    EXPECT_EQ(text.Compare(c1, c2) < 0 ? -1 : 1, -sign);
  }
}

}  // namespace
}  // namespace orvex::test
