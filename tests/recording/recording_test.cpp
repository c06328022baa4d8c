// Loading the recording: byte order, frame layout, the silent tail and the
// files that must end the run instead of being used.

#include "recording/recording.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/errors.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

// Byte offset (from 0) of sample (c, t) in the file.
std::size_t offset_of(int channel, int position) {
  return frame_bytes * static_cast<std::size_t>(position - 1) +
         2 * static_cast<std::size_t>(channel - 1);
}

void put_word(std::vector<unsigned char>& bytes, int channel, int position, unsigned char high,
              unsigned char low) {
  bytes[offset_of(channel, position)] = high;
  bytes[offset_of(channel, position) + 1] = low;
}

std::unique_ptr<RecordingState> filled_with(std::int16_t value) {
  auto state = std::make_unique<RecordingState>();
  state->sample_matrix.fill(value);
  return state;
}

TEST(UnpackRecording, BigEndianTwosComplement) {
  struct Case {
    unsigned char high, low;
    std::int16_t value;
  };
  const Case cases[] = {{0x00, 0x01, 1},      {0x01, 0x00, 256}, {0x7F, 0xFF, 32767},
                        {0x80, 0x00, -32768}, {0xFF, 0xFF, -1},  {0x00, 0x00, 0}};
  std::vector<unsigned char> bytes(recording_bytes, 0);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    put_word(bytes, 9, static_cast<int>(i) + 1, cases[i].high, cases[i].low);
  auto state = filled_with(7);
  unpack_recording(bytes, state->sample_matrix);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(state->sample_matrix(9, static_cast<long>(i) + 1), cases[i].value) << i;
}

TEST(UnpackRecording, FramesHoldTheChannelsInOrder) {
  std::vector<unsigned char> bytes(recording_bytes, 0);
  bytes[0] = 0x01;        // bytes 1, 2: channel 1 at position 1
  bytes[143] = 0x48;      // bytes 143, 144: channel 72 at position 1
  bytes[145] = 0x02;      // bytes 145, 146: channel 1 at position 2
  bytes[4607856] = 0x12;  // the last frame: position 32,000
  bytes[4607999] = 0x34;
  auto state = filled_with(7);
  unpack_recording(bytes, state->sample_matrix);
  const SampleMatrix& m = state->sample_matrix;
  EXPECT_EQ(m(1, 1), 256);
  EXPECT_EQ(m(72, 1), 72);
  EXPECT_EQ(m(2, 1), 0);
  EXPECT_EQ(m(1, 2), 2);
  EXPECT_EQ(m(1, 32000), 0x1200);
  EXPECT_EQ(m(72, 32000), 0x34);
  for (long t = 32001; t <= 32800; ++t)
    for (long c = 1; c <= 72; ++c) ASSERT_EQ(m(c, t), 0) << c << ", " << t;
}

TEST(UnpackRecording, RefusesTooFewBytes) {
  std::vector<unsigned char> bytes(recording_bytes - 1, 0);
  auto state = filled_with(7);
  EXPECT_THROW(unpack_recording(bytes, state->sample_matrix), std::invalid_argument);
}

TEST(UnpackRecording, TheStartAloneLeavesLaterPositionsAsTheyWere) {
  std::vector<unsigned char> bytes(frame_bytes * 3, 0);
  put_word(bytes, 72, 3, 0xFF, 0xFE);  // the last word asked for
  put_word(bytes, 1, 1, 0x01, 0x02);
  auto state = filled_with(7);
  unpack_recording_start(bytes, 3, state->sample_matrix);
  const SampleMatrix& m = state->sample_matrix;
  EXPECT_EQ(m(1, 1), 0x0102);
  EXPECT_EQ(m(72, 3), -2);
  EXPECT_EQ(m(1, 4), 7) << "position 4 was not asked for";
  EXPECT_THROW(unpack_recording_start(bytes, 4, state->sample_matrix), std::invalid_argument);
}

class LoadRecording : public ::testing::Test {
 protected:
  test::TestBench bench;
  std::unique_ptr<RecordingState> state = filled_with(7);
  const std::string path = "d:\\data\\map\\abc.dat" + std::string(11, ' ');

  IoFailure::Kind failure_of_load() {
    try {
      load_recording(bench.io, path, *state);
    } catch (const IoFailure& failure) {
      EXPECT_EQ(failure.unit(), recording_unit);
      return failure.kind();
    }
    ADD_FAILURE() << "the load did not fail";
    return IoFailure::Kind::conversion;
  }
};

TEST_F(LoadRecording, AnnouncesThePathAtFullWidthAndLoads) {
  std::string bytes(recording_bytes + 10, '\0');  // longer files: the rest is ignored
  bytes[1] = 0x05;
  bench.write("abc.dat", bytes);
  load_recording(bench.io, path, *state);
  EXPECT_EQ(bench.platform.lines_of(console_unit),
            std::vector<std::string>{" d:\\data\\map\\abc.dat           を読み込み中です。"});
  EXPECT_EQ(state->sample_matrix(1, 1), 5);
  EXPECT_EQ(state->sample_matrix(1, 32800), 0);
}

TEST_F(LoadRecording, MissingFileIsAnOpenFailureAndIsNotCreated) {
  EXPECT_EQ(failure_of_load(), IoFailure::Kind::open);
  EXPECT_FALSE(std::filesystem::exists(bench.folder / "abc.dat"));
  EXPECT_TRUE(std::filesystem::is_empty(bench.folder));
}

TEST_F(LoadRecording, ShortFileEndsTheRunWithoutPartialUse) {
  bench.write("abc.dat", std::string(recording_bytes - 1, '\x01'));
  EXPECT_EQ(failure_of_load(), IoFailure::Kind::end_of_file);
  EXPECT_EQ(state->sample_matrix(1, 1), 7);
  bench.write("abc.dat", "");
  EXPECT_EQ(failure_of_load(), IoFailure::Kind::end_of_file);
}

}  // namespace
}  // namespace ba
