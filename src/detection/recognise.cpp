#include "detection/recognition.h"
#include "runtime/io.h"

namespace ba {

namespace {

// The window of beat_window lies at positions centre - 25 .. centre + 25.
// Fills beat_window from channel corr_lead around `centre`. False when the
// window would leave the sample matrix; detection keeps every candidate in
// samples 100..31,900, so this only guards against a foreign caller.
bool take_window(const SampleMatrix& sample_matrix, std::int32_t centre,
                 RecognitionState& recognition) {
  if (recognition.corr_lead < 1 || recognition.corr_lead > channel_count) return false;
  if (centre - template_half < 1 || centre + template_half > matrix_positions) return false;
  for (int i = 1; i <= template_len; ++i)
    recognition.beat_window(i) =
        sample_matrix(recognition.corr_lead, centre + i - template_half - 1);
  return true;
}

// best_corr and best_shift of one candidate over the 21 trial shifts. Only a
// strictly better coefficient replaces the best, so ties go to the more
// negative shift and coefficients at or below 0.0 never count.
void best_match(const SampleMatrix& sample_matrix, std::int32_t position,
                RecognitionState& recognition) {
  recognition.best_corr = 0.0f;
  recognition.best_shift = 0;
  for (recognition.shift = -max_shift; recognition.shift <= max_shift; ++recognition.shift) {
    if (!take_window(sample_matrix, position + recognition.shift, recognition)) continue;
    CR(recognition.template_wave, recognition.beat_window, recognition.corr, template_len);
    if (recognition.corr > recognition.best_corr) {
      recognition.best_corr = recognition.corr;
      recognition.best_shift = recognition.shift;
    }
  }
}

}  // namespace

void recognise(Io& io, const SampleMatrix& sample_matrix, float corr_threshold,
               DetectionState& detection, RecognitionState& recognition) {
  for (std::int32_t k = 1; k <= detection.n_candidates; ++k) {
    best_match(sample_matrix, detection.beat_positions(k), recognition);
    if (recognition.best_corr >= corr_threshold)
      detection.beat_positions(k) =
          static_cast<std::int16_t>(detection.beat_positions(k) + recognition.best_shift);
    else
      detection.beat_positions(k) = 0;
    io.write_line(log_unit, {"k=", k, "r=", recognition.best_corr, ";  time_dif",
                             recognition.best_shift, detection.beat_positions(k)});
  }
}

}  // namespace ba
