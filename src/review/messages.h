#pragma once
// Every text of the beat review (command v) and the result file save
// (command d). UTF-8; widths count Shift-JIS bytes.

namespace ba::review_text {

// Command v.
inline constexpr const char* clear_screen = "CLEARSCREE";
inline constexpr const char* displayed_beat = "Displyed beat";
inline constexpr const char* click_prompt = ":  Click !  ";

// Command d.
inline constexpr const char* selected_beats = "選択心拍は";
inline constexpr const char* beats_suffix = "拍です。";
inline constexpr const char* data_prefix = "データ";
inline constexpr const char* save_question = "を保存します。yes or no?  <y/n>";
inline constexpr const char* saved = "STT_fileを作成保存しました。";
// The result file could not be written: the old file is untouched and the
// selection is kept for another try.
inline constexpr const char* save_failed =
    "結果ファイルを保存できませんでした。選択心拍はそのまま残しています。";

}  // namespace ba::review_text
