#pragma once
// The automatic proposal: the reference beat and the three fiducial points a
// person would mark, found from all 64 mapping leads of an average of the
// beats alike, with a confidence per point and the reasons to doubt it.
//
// Units: samples are 1 ms each; one recorder unit is taken as 1 uV.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "recording/recording.h"
#include "runtime/files.h"

namespace ba {

inline constexpr std::string_view proposal_method = "spatial velocity and RMS of the mean beat";
inline constexpr int proposal_version = 1;

// Every constant of the method, with its unit, in one place.
namespace proposal_constants {
// Beats.
inline constexpr int smoothing_ms = 5;            // moving mean of the spatial velocity
inline constexpr int beat_difference_ms = 4;      // slopes over +-4 ms when finding beats,
                                                  //   so white noise does not look like QRS
inline constexpr float beat_level = 0.3f;         // of the way from the median velocity to
                                                  //   its 99.5th percentile: a QRS
inline constexpr int qrs_hump_ms = 31;            // smoothing that leaves one peak per QRS
inline constexpr int refractory_ms = 250;         // no second beat sooner (240 bpm)
inline constexpr int align_shift_ms = 25;         // beats aligned to the reference within this
inline constexpr int shape_from_ms = -50;         // the QRS compared between beats, from the
inline constexpr int shape_to_ms = 80;            //   spatial velocity peak
inline constexpr float match_correlation = 0.8f;  // 64-lead correlation of a beat alike
inline constexpr float premature_share = 0.8f;    // of the usual interval: a premature beat
inline constexpr int fewest_alike = 3;            // beats alike, the reference included
// The mean beat, from its spatial velocity peak.
inline constexpr int window_from_ms = -320;
inline constexpr int window_to_ms = 820;
inline constexpr int qrs_peak_reach_ms = 40;  // the QRS peak within this of the beat's peak
inline constexpr float q_fraction = 0.04f;    // Q start: velocity falls to this above floor
inline constexpr float j_fraction = 0.08f;    // J point: velocity falls to this above floor
inline constexpr int quiet_ms = 20;           // below those levels this long (a notch
                                              //   inside the QRS is shorter)
inline constexpr int floor_window_ms = 20;    // quietest stretch giving the velocity floor
inline constexpr int floor_search_ms = 250;   //   searched this far before the QRS peak
// PQ point: the middle of the quietest stretch of the PR segment.
inline constexpr int pq_window_ms = 16;
inline constexpr int pq_gap_ms = 12;    // kept clear of Q start
inline constexpr int pq_reach_ms = 90;  // searched this far before Q start
// T end, on the spatial RMS against the PQ baseline.
inline constexpr int rms_smoothing_ms = 9;
inline constexpr int t_after_j_ms = 40;      // T peak searched from J plus this
inline constexpr float t_fraction = 0.015f;  // T end: RMS falls to this of its drop above floor
inline constexpr int p_reach_ms = 160;       // a P wave starts within this before the PQ stretch
// The next P wave spans at least this before its PQ stretch.
inline constexpr int least_p_wave_ms = 80;
// The one-beat display: points lie from 199 ms before R to 800 ms after.
inline constexpr int earliest_point_ms = -199;
inline constexpr int latest_point_ms = 800;
// Doubt.
inline constexpr float noisy_uv = 60.0f;            // RMS noise in the PR segment, per beat
inline constexpr float least_match_share = 0.6f;    // of the beats found
inline constexpr int methods_apart_ms = 30;         // tangent against threshold T end
inline constexpr int halves_apart_ms = 25;          // T end of odd against even beats
inline constexpr float least_t_snr = 3.0f;          // T peak RMS over the PR segment's RMS
inline constexpr float map_change_share = 0.05f;    // mean map change within the T end's doubt
inline constexpr int least_t_doubt_ms = 6;          // T end doubt at least this
inline constexpr float confidence_scale_ms = 8.0f;  // a spread of this halves the confidence
}  // namespace proposal_constants

struct ProposalOptions {
  std::array<std::int32_t, 3> leads = {13, 23, 37};  // the displayed leads of the preview
  float ratio = 0.5f;                                // of the differentiated R wave
};

struct Proposal {
  std::int32_t reference_ms = 0;  // R of the chosen preview beat, ms from the start
  std::int32_t pq_ms = 0;         // fiducial points, ms from that R
  std::int32_t q_ms = 0;
  std::int32_t t_end_ms = 0;
  std::int32_t j_ms = 0;  // end of QRS, ms from R
  // 0..1 each: 1 when the point agrees between the odd and the even beats
  // (and, for T end, between the two methods).
  float pq_confidence = 0.0f;
  float q_confidence = 0.0f;
  float t_end_confidence = 0.0f;
  std::int32_t beats = 0;     // beats found in the recording
  std::int32_t matching = 0;  // of which alike the reference (the reference included)
  float noise_uv = 0.0f;      // RMS noise in the PR segment, per beat and lead
  float t_peak_uv = 0.0f;     // spatial RMS at the T peak of the mean beat
  std::int32_t t_methods_apart_ms = 0;
  float map_change = 0.0f;  // relative change of the mean map within the T end's doubt
  bool doubtful = false;
  std::vector<std::string> reasons;
};

// The proposal for a whole recording, or why none can be made (a flat or
// noise-only recording, fewer than three beats alike, no usable preview beat).
std::variant<Proposal, std::string> propose(const SampleMatrix& sample_matrix,
                                            const ProposalOptions& options);

// The same for a recording file, read whole through `files`; a file that
// cannot be read or is too short is refused with the reason.
std::variant<Proposal, std::string> propose_recording(const std::filesystem::path& recording,
                                                      const ProposalOptions& options,
                                                      FileOps& files);

// The proposal as JSON (one object, no trailing newline).
std::string proposal_json(const Proposal& proposal);

}  // namespace ba
