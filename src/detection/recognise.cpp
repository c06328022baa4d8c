#include "detection/recognition.h"
#include "results/log_format.h"
#include "runtime/io.h"

namespace ba {

namespace {

using Window = Array1<std::int32_t, template_room>;

// The window lies at positions centre - 25 .. centre + 25 of channel
// corr_lead. False when it would leave the sample matrix; detection keeps
// every candidate in samples 100..31,900, so this only guards against a
// foreign caller.
bool take_window(const SampleMatrix& sample_matrix, std::int32_t corr_lead, std::int32_t centre,
                 Window& window) {
  if (corr_lead < 1 || corr_lead > channel_count) return false;
  if (centre - template_half < 1 || centre + template_half > matrix_positions) return false;
  for (int i = 1; i <= template_len; ++i)
    window(i) = sample_matrix(corr_lead, centre + i - template_half - 1);
  return true;
}

}  // namespace

ShapeMatch best_match(const SampleMatrix& sample_matrix, const RecognitionState& recognition,
                      std::int32_t position) {
  ShapeMatch best;
  Window window;
  for (std::int32_t shift = -max_shift; shift <= max_shift; ++shift) {
    if (!take_window(sample_matrix, recognition.corr_lead, position + shift, window)) continue;
    float corr = 0.0f;
    CR(recognition.template_wave, window, corr, template_len);
    if (corr > best.corr) best = {corr, shift};
  }
  return best;
}

void recognise(Io& io, const SampleMatrix& sample_matrix, float corr_threshold,
               DetectionState& detection, const RecognitionState& recognition) {
  for (std::int32_t k = 1; k <= detection.n_candidates; ++k) {
    const ShapeMatch match = best_match(sample_matrix, recognition, detection.beat_positions(k));
    if (match.corr >= corr_threshold)
      detection.beat_positions(k) =
          static_cast<std::int16_t>(detection.beat_positions(k) + match.shift);
    else
      detection.beat_positions(k) = 0;
    log_format::write_candidate(io, k, match.corr, match.shift, detection.beat_positions(k));
  }
}

}  // namespace ba
