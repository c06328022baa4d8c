#pragma once
// Every text the whole-waveform computation writes: console lines and
// print-page settings. UTF-8; widths count Shift-JIS bytes.

namespace ba::compute_text {

inline constexpr const char* calculating = "計算中";
// A beat whose PQ point, Q start or T end lies outside the recording: the
// console line names its R position (msec).
inline constexpr const char* beat_left_out = "区分点が記録の外にある心拍を除外（msec）";

// A page image that could not be saved; the next line names the file and the
// system's reason. The command goes on.
inline constexpr const char* page_save_failed = "印刷ページを保存できませんでした";

// Print-page header font.
inline constexpr const char* page_font = "t'Times New Roman'h24w10";

}  // namespace ba::compute_text
