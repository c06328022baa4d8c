// SHA-256 against the published test vectors.

#include "runtime/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace ba {
namespace {

TEST(Sha256, PublishedVectors) {
  struct Row {
    const char* label;
    std::string message;
    const char* digest;
  } rows[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"one block", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"padding spills into a second block",
       "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million bytes", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Row& row : rows) EXPECT_EQ(sha256_hex(row.message), row.digest) << row.label;
}

}  // namespace
}  // namespace ba
