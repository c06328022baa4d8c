#pragma once
// Texts of the waveform selection and the fiducial marking, verbatim.

namespace ba::marking_text {

// Selection of the reference beat (command s).
inline constexpr const char* click_near_trace = "選択する波形の線の近くをClick";
inline constexpr const char* confirm = "これでいいですか? <y/n>";
inline constexpr const char* range_error = "エラー、200から3000msecの範囲にしてください。";
inline constexpr const char* selected_point = "選択した点（msec）";
// Commands c and v before any reference beat has been chosen with command s.
inline constexpr const char* no_template =
    "波形が選択されていません。先に s で波形を選択してください。";

// The fiducial menu and its marking passes. Full-width spaces are intended.
inline constexpr const char* fiducial_menu = "区分点認識(s),　exit (x)：";
inline constexpr const char* click_pq = " PQ segment をClick ! ";
inline constexpr const char* console_pq = "artifact point! ";
inline constexpr const char* click_q = "Q　開始点をClick !  ";
inline constexpr const char* console_q = "Q 開始点 ";
inline constexpr const char* click_t = "T 終点をClick! ";
inline constexpr const char* console_t = "T 終点! ";

}  // namespace ba::marking_text
