#pragma once
// Every text of the start-up dialogue, the recording-name prompt and the
// main menu, exactly as the console and the graphics window show them
// (UTF-8 here; Shift-JIS when measured or filed).

#include <string_view>

namespace ba::dialogue_text {

// A rule of 55 plus signs above and below the banner.
inline constexpr std::string_view banner_rule =
    "+++++++++++++++++++++++++++++++++++++++++++++++++++++++";
inline constexpr std::string_view banner_purpose_1 =
    "このプログラムは32秒間連続的に波形認識を行い、";
inline constexpr std::string_view banner_purpose_2 =
    "60誘導点のAQRSTを多心拍同時に測定するものです。";
inline constexpr std::string_view banner_check_1 =
    "動かす前に32秒データ＊.datがドライブd:のフォルダ\\data\\map";
inline constexpr std::string_view banner_check_2 = "にあることを確認してください。";
// The default conditions; ten, seven and nine ideographic spaces align the values.
inline constexpr std::string_view default_leads = "表示する誘導：　　　　　　　　　　13, 23, 37";
inline constexpr std::string_view default_threshold = "波形認識の相関係数：　　　　　　　0.95以上";
inline constexpr std::string_view default_ratio = "微分R波の振幅（最大を１とした比）：0.5以上";
inline constexpr std::string_view default_printing = "選択心拍の印刷： 　　　　　　　　　印刷する";
inline constexpr std::string_view conditions_ok = "条件は以上でいいですか？ y or n  (1/0)";
inline constexpr std::string_view leads_are = "表示する誘導は13, 23, 37です。";
inline constexpr std::string_view leads_ok = "表示する誘導はこれでいいですか？ y or n  (1/0)";
inline constexpr std::string_view enter_first_lead = "enter first_lead  :";
inline constexpr std::string_view enter_second_lead = "enter second_lead  :";
inline constexpr std::string_view enter_third_lead = "enter third_lead  :";
inline constexpr std::string_view threshold_ok =
    "波形認識の相関係数0.95でいいですか? y or n  (1/0)";
inline constexpr std::string_view enter_threshold = "係数を入れてください(0.0 - 1.0)  :";
inline constexpr std::string_view threshold_echo = "係数 :";
inline constexpr std::string_view ratio_ok = "微分R波の振幅比0.5でいいですか? y or n  (1/0)";
inline constexpr std::string_view enter_ratio = "微分R波の振幅比を入れてください (0.0 - 1.0)  :";
inline constexpr std::string_view ratio_echo = "R ratio :";
inline constexpr std::string_view print_question = "心拍を印刷しますか? y or n (1/0)";
inline constexpr std::string_view print_on = "印刷する";
inline constexpr std::string_view print_off = "印刷しない";
inline constexpr std::string_view enter_recording_name =
    "解析するfile名をいれてください (xxx.dat) :";

// Refusals of answers that would make the program read or write where it
// must not: a lead outside the recording, a name that leaves the data folder.
inline constexpr std::string_view bad_lead_before = "誘導";
inline constexpr std::string_view bad_lead_after = "は範囲外です（-7から64まで）。";
inline constexpr std::string_view leads_again = "３つの誘導をもう一度入れてください。";
inline constexpr std::string_view bad_recording_name =
    "このfile名は使えません（/ \\ : .. と制御文字は不可）。";

// The display set-up and the main menu (graphics window).
// Follows the 30-character recording path on the title line.
inline constexpr const char* show_ecg_data = "ecg dataを表示";
// Follows the recording path when the first second holds no signal.
inline constexpr const char* no_data = "No data!  Hit";
inline constexpr const char* main_menu =
    "波形選択 (s), 全心拍閲覧 (v),全波形計算 (c),保存 (d), 戻る (o), 終了 (x)";

}  // namespace ba::dialogue_text
