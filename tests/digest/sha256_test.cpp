// SHA-256 against the example messages published with FIPS 180-4 and against
// `sha256sum` on files of every padding case and on the bundled examples.
#include "digest/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/temp_dir.h"

namespace {

using helmert2d::digest::sha256_hex;

TEST(Sha256, NistExampleMessages) {
  struct Case {
    std::string message, digest;
  };
  const Case cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      // 448 bits: the padding's length no longer fits the block, so it takes a second.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
       "lmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) EXPECT_EQ(sha256_hex(c.message), c.digest) << c.message.size();
}

// What `sha256sum` prints for the file at `path`: its first 64 characters.
std::string sha256sum(const std::string& path) {
  FILE* p = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  if (p == nullptr) return "";
  char buf[65] = {};
  const std::size_t got = std::fread(buf, 1, 64, p);
  ::pclose(p);
  return std::string(buf, got);
}

TEST(Sha256, AgreesWithSha256sumAtEveryPaddingCase) {
  testsupport::TempDir dir;
  // Lengths around the block (64) and the padding's limit (56), bytes of every value.
  for (const std::size_t size : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 151 + size) & 255);
    const std::string path = dir.write("bytes.bin", bytes);
    EXPECT_EQ(sha256_hex(bytes), sha256sum(path)) << size;
  }
  for (const char* name : {"examples/local.txt", "examples/national-semicolon.csv"}) {
    const std::string path = std::string(HELMERT2D_SOURCE_DIR) + "/" + name;
    EXPECT_EQ(sha256_hex(testsupport::read_file(path)), sha256sum(path)) << name;
  }
}

}  // namespace
