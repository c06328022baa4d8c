#include "results/lead_table.h"

#include "runtime/io.h"
#include "runtime/text_lines.h"

namespace ba {

namespace {

constexpr std::size_t lead_table_fields = 9;

std::string cell(const std::optional<std::int32_t>& value) {
  return value ? std::to_string(*value) : std::string();
}

// Reads the rows after the header; one beat is 64 consecutive rows.
class TableParser {
 public:
  explicit TableParser(std::string_view text) : lines_(text) {}

  LeadTableText parse() {
    const auto header = lines_.next();
    if (!header || trimmed(*header) != lead_table_header)
      return LineFault{1, "the header is not \"" + std::string(lead_table_header) + "\""};
    std::vector<BeatLeads> beats;
    while (const auto line = lines_.next()) {
      if (trimmed(*line).empty()) continue;
      auto fields = csv_fields(*line);
      if (const auto* reason = std::get_if<std::string>(&fields)) return fail(*reason);
      const auto& words = std::get<std::vector<std::string>>(fields);
      if (words.size() != lead_table_fields)
        return fail(std::to_string(words.size()) + " fields, a row has " +
                    std::to_string(lead_table_fields));
      if (!read_row(words, beats)) return fault_;
    }
    if (lead_ != lead_point_count) return LineFault{0, "the last beat lacks leads"};
    return beats;
  }

 private:
  LineFault fail(std::string reason) {
    fault_ = {static_cast<int>(lines_.number()), std::move(reason)};
    return fault_;
  }

  bool reject(std::string reason) {
    fail(std::move(reason));
    return false;
  }

  std::optional<std::int32_t> whole(const std::string& word, const char* name) {
    auto value = parse_int32(word);
    if (!value) fail(std::string(name) + " \"" + word + "\" is not a whole number");
    return value;
  }

  // An empty cell is an untimed lead; anything else must be a whole number.
  bool time(const std::string& word, const char* name, std::optional<std::int32_t>& value) {
    if (word.empty()) return true;
    value = whole(word, name);
    return value.has_value();
  }

  bool read_row(const std::vector<std::string>& w, std::vector<BeatLeads>& beats) {
    const auto beat = whole(w[0], "beat");
    const auto r = beat ? whole(w[1], "r_ms") : std::nullopt;
    const auto lead = r ? whole(w[2], "lead") : std::nullopt;
    if (!lead) return false;
    const bool next_beat = lead_ == lead_point_count || beats.empty();
    if (next_beat) {
      if (*beat != static_cast<std::int32_t>(beats.size()) + 1)
        return reject("beat " + std::to_string(*beat) + " where beat " +
                      std::to_string(beats.size() + 1) + " was due");
      beats.push_back({});
      beats.back().r_ms = *r;
      lead_ = 0;
    }
    BeatLeads& b = beats.back();
    if (*beat != static_cast<std::int32_t>(beats.size()) || *r != b.r_ms || *lead != lead_ + 1)
      return reject("lead " + std::to_string(lead_ + 1) + " of beat " +
                    std::to_string(beats.size()) + " was due");
    lead_ = *lead;
    const auto qrst = whole(w[3], "qrst_area");
    const auto qrs = qrst ? whole(w[4], "qrs_area") : std::nullopt;
    const auto stt = qrs ? whole(w[5], "stt_area") : std::nullopt;
    if (!stt) return false;
    b.qrst_area(lead_) = *qrst;
    b.qrs_area(lead_) = *qrs;
    b.stt_area(lead_) = *stt;
    std::optional<std::int32_t> ari;
    if (!time(w[6], "at_ms", b.at_ms(lead_)) || !time(w[7], "rt_ms", b.rt_ms(lead_)) ||
        !time(w[8], "ari_ms", ari))
      return false;
    if (ari != ari_ms(b, lead_)) return reject("ari_ms is not rt_ms - at_ms");
    return true;
  }

  TextLines lines_;
  LineFault fault_;
  long lead_ = lead_point_count;  // the lead of the row last read
};

std::string without_trailing_blanks(const std::string& path) {
  return path.substr(0, path.find_last_not_of(' ') + 1);
}

}  // namespace

std::optional<std::int32_t> ari_ms(const BeatLeads& beat, long lead) {
  if (!beat.at_ms(lead) || !beat.rt_ms(lead)) return std::nullopt;
  return *beat.rt_ms(lead) - *beat.at_ms(lead);
}

std::string lead_table_text(const std::vector<BeatLeads>& beats) {
  std::string text(lead_table_header);
  text += '\n';
  for (std::size_t k = 0; k < beats.size(); ++k) {
    const BeatLeads& b = beats[k];
    const std::string prefix = std::to_string(k + 1) + "," + std::to_string(b.r_ms) + ",";
    for (long lead = 1; lead <= lead_point_count; ++lead) {
      text += prefix + std::to_string(lead) + "," + std::to_string(b.qrst_area(lead)) + "," +
              std::to_string(b.qrs_area(lead)) + "," + std::to_string(b.stt_area(lead)) + "," +
              cell(b.at_ms(lead)) + "," + cell(b.rt_ms(lead)) + "," + cell(ari_ms(b, lead)) + "\n";
    }
  }
  return text;
}

LeadTableText parse_lead_table(std::string_view text) { return TableParser(text).parse(); }

std::optional<std::string> lead_table_mismatch(const std::vector<BeatLeads>& table,
                                               const std::vector<ResultBeat>& result) {
  if (table.size() != result.size())
    return std::to_string(table.size()) + " beats, the result file has " +
           std::to_string(result.size());
  for (std::size_t k = 0; k < table.size(); ++k) {
    const std::string beat = "beat " + std::to_string(k + 1);
    if (table[k].r_ms != result[k].r_ms)
      return beat + " has R at " + std::to_string(table[k].r_ms) + " ms, the result file at " +
             std::to_string(result[k].r_ms) + " ms";
    for (long lead = 1; lead <= lead_point_count; ++lead)
      if (table[k].qrst_area(lead) != result[k].areas(lead))
        return beat + " lead " + std::to_string(lead) + " has QRST area " +
               std::to_string(table[k].qrst_area(lead)) + ", the result file " +
               std::to_string(result[k].areas(lead));
  }
  return std::nullopt;
}

std::string lead_table_path(const std::string& result_path) {
  std::string stem = without_trailing_blanks(result_path);
  if (stem.ends_with(".txt")) stem.resize(stem.size() - 4);
  return stem + std::string(lead_table_suffix);
}

void keep_lead_table(Io& io, const std::string& result_path, const std::vector<BeatLeads>& beats) {
  const std::string path = lead_table_path(result_path);
  const auto host = io.folder().host_path(path);
  if (!host) {
    io.platform().remark("cannot write the lead table " + path + ": outside the data folder");
    return;
  }
  if (auto error = io.files().replace_file(*host, lead_table_text(beats)))
    io.platform().remark("cannot write the lead table " + path + ": " + *error);
}

}  // namespace ba
