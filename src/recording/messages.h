#pragma once
// The one text of the recording loader.

#include <string_view>

namespace ba::recording_text {

// Follows the 30-character recording path directly, without a blank.
inline constexpr std::string_view reading = "を読み込み中です。";

}  // namespace ba::recording_text
