#include "core/hashing.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace velloquin::core {
namespace {

using namespace std::string_view_literals;

TEST(Sha256Hex, MatchesKnownDigests) {
  struct Case {
    std::string input;
    std::string_view digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // Two blocks of input: the padding spills into a second compression.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1'000'000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      // Bytes, not text: a NUL and bytes that are not UTF-8 are hashed like any other.
      {std::string("\0"sv), "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
      {"\xff\xfe", "b3d510ef04275ca8e698e5b3cbb0ece3949ef9252f0cdc839e9ee347409a2209"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sha256_hex(c.input), c.digest) << "input of " << c.input.size() << " bytes";
  }
}

TEST(Sha256Hex, HashesOnlyTheViewedBytes) {
  const std::string text = "xabcx";
  EXPECT_EQ(sha256_hex(std::string_view(text).substr(1, 3)), sha256_hex("abc"));
  EXPECT_EQ(sha256_hex(std::string_view()), sha256_hex(""));
}

}  // namespace
}  // namespace velloquin::core
