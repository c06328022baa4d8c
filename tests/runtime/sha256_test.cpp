// SHA-256 against the example digests published with the standard
// (FIPS 180-4), through the processor's instructions and the portable
// rounds alike, fed whole and in uneven pieces.

#include "runtime/sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/files.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

struct Vector {
  const char* label;
  std::string message;
  const char* digest;
};

const std::vector<Vector>& published_vectors() {
  static const std::vector<Vector> vectors = {
      {"empty message", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"one block, abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"448 bits: padding needs a second block",
       "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"896 bits",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
       "opqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"a million times a", std::string(1'000'000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"55 bytes: the length still fits the block", std::string(55, 'a'),
       "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {"64 bytes: one whole block and a padding block", std::string(64, 'a'),
       "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  return vectors;
}

TEST(Sha256, PublishedDigests) {
  for (const Vector& v : published_vectors()) {
    for (bool hardware : {true, false}) {
      SCOPED_TRACE(std::string(v.label) + (hardware ? " (processor)" : " (portable)"));
      Sha256 whole(hardware);
      whole.add(v.message);
      EXPECT_EQ(whole.hex_digest(), v.digest);
      // Pieces of 1, 2, ... 97 bytes cross every block boundary differently.
      Sha256 pieces(hardware);
      for (std::size_t at = 0, size = 1; at < v.message.size(); at += size, size = size % 97 + 1)
        pieces.add(std::string_view(v.message).substr(at, size));
      EXPECT_EQ(pieces.hex_digest(), v.digest);
    }
  }
}

TEST(Sha256, FileDigestAndRefusals) {
  test::TempFolder folder("sha256");
  test::write_host_file(folder / "abc", "abc");
  HostFileOps files;
  const auto digest = files.digest(folder / "abc");
  ASSERT_EQ(digest.index(), 0u);
  EXPECT_EQ(std::get<FileDigest>(digest).size, 3u);
  EXPECT_EQ(std::get<FileDigest>(digest).sha256,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(files.digest(folder.path()).index(), 1u) << "a folder is not a file";
  EXPECT_EQ(files.digest(folder / "missing").index(), 1u);
}

TEST(Sha256, DigestText) {
  const struct {
    const char* text;
    bool digest;
  } cases[] = {
      {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", true},
      {"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", false},
      {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a", false},
      {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ag", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_sha256_hex(c.text), c.digest) << c.text;
}

}  // namespace
}  // namespace ba
