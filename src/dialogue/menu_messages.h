#pragma once
// Texts of the display set-up and the main menu, verbatim.

namespace ba::menu_text {

// Follows the 30-character recording path on the title line.
inline constexpr const char* show_ecg_data = "ecg dataを表示";
// Follows the recording path when the first second holds no signal.
inline constexpr const char* no_data = "No data!  Hit";
inline constexpr const char* main_menu =
    "波形選択 (s), 全心拍閲覧 (v),全波形計算 (c),保存 (d), 戻る (o), 終了 (x)";

}  // namespace ba::menu_text
