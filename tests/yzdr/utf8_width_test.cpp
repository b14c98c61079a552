// Text fields are as wide in characters as the mask: a name in UTF-8 with letters
// outside ASCII is padded by characters, any other byte string by bytes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "helmert2d/yzdr.h"

namespace {

std::string masked(const std::string& text, const char* mask, bool left = false) {
  std::ostringstream os;
  if (left) os << std::left;
  frmt(os, text, mask);
  return os.str();
}

// `text` after `n` spaces.
std::string pad(std::size_t n, const std::string& text) {
  return std::string(n, ' ').append(text);
}

// Byte sequences used below, kept apart from the digits that follow them.
const std::string kS = "\xC5\x9E";                                        // S with cedilla, 2 bytes
const std::string kEuro = "\xE2\x82\xAC";                                 // euro sign, 3 bytes
const std::string kPin = "\xF0\x9F\x93\x8D";                              // a pictograph, 4 bytes
const std::string kUmlauts = "\xC3\x96\xC3\x9C\xC3\x87\xC4\x9E\xC4\xB0";  // 5 letters
const std::string kLatin1 = "\xDE";                // Latin-1 letter, not UTF-8
const std::string kCut = "P\xC5";                  // first byte of two only
const std::string kStray = "\x9E";                 // continuation byte alone
const std::string kOverlong = "\xC0\xAF";          // '/' in two bytes
const std::string kSurrogate = "\xED\xA0\x80";     // U+D800
const std::string kTooLarge = "\xF4\x90\x80\x80";  // U+110000

TEST(MaskWriters, TextIsPaddedByCharactersWhenItIsUtf8) {
  struct Case {
    const char* what;
    std::string text, expected;
  } cases[] = {
      {"ASCII", "P01", "  P01"},
      {"two-byte letter", kS + "01", pad(2, kS + "01")},
      {"three-byte letter", kEuro + "1", pad(3, kEuro + "1")},
      {"four-byte character", kPin, pad(4, kPin)},
      {"all letters non-ASCII", kUmlauts, kUmlauts},
      {"longer than the mask", kS + "012345", kS + "012345"},
      // Not UTF-8: every byte counts.
      {"Latin-1 byte", kLatin1 + "01", pad(2, kLatin1 + "01")},
      {"sequence cut short", kCut, pad(3, kCut)},
      {"stray continuation byte", kStray + "01", pad(2, kStray + "01")},
      {"overlong slash", kOverlong + "1", pad(2, kOverlong + "1")},
      {"surrogate", kSurrogate, pad(2, kSurrogate)},
      {"above U+10FFFF", kTooLarge, pad(1, kTooLarge)},
      {"valid name, invalid byte later", kS + kStray, pad(2, kS + kStray)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(masked(c.text, "#####"), c.expected) << c.what;
  }
  EXPECT_EQ(masked(kS + "01", "#####", true), kS + "01  ");
  std::ostringstream os;
  frmt(os, (kS + "01").c_str(), "#####");  // the C-string writer counts the same way
  EXPECT_EQ(os.str(), pad(2, kS + "01"));
}

}  // namespace
