#include "dialogue/answer.h"

#include <gtest/gtest.h>

namespace ba {
namespace {

TEST(AnswerIs, OneLetterInEitherCaseOverAllTenCharacters) {
  EXPECT_TRUE(answer_is("s         ", 's'));
  EXPECT_TRUE(answer_is("S         ", 's'));
  EXPECT_FALSE(answer_is("ss        ", 's'));
  EXPECT_FALSE(answer_is("s", 's'));
  EXPECT_FALSE(answer_is("x         ", 's'));
  EXPECT_FALSE(answer_is("          ", 's'));
}

}  // namespace
}  // namespace ba
