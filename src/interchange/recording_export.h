#pragma once
// The recording as other tools read it: its 72 channels as EDF+ signals with
// the accepted beats as annotations, and a WFDB header that reads the
// recording file as it stands.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "interchange/edf_file.h"
#include "results/result_file.h"

namespace ba {

// The name channel c (1-based) carries outside the program: ch1..ch8 for the
// channels no measurement uses, lead1..lead64 for the mapping leads.
std::string channel_label(int channel);

// The 72 channels of a recording file's bytes (recording_bytes long) as
// signals in microvolts, given the recorder units per microvolt.
std::vector<EdfSignalOut> recording_signals(std::span<const unsigned char> recording,
                                            double units_per_uv);

// An annotation "R" at the R time of every beat: sample position t (1 ms
// each, counted from 1) lies t - 1 ms after the start. Returns the reason
// when a beat lies outside the recording.
std::variant<std::vector<EdfAnnotation>, std::string> beat_annotations(
    const std::vector<ResultBeat>& beats);

// A WFDB header for record `record_name` whose signals are the recording
// file `file_name` in format 61 (16-bit, most significant byte first), with
// the first value and checksum of each signal as WFDB tools check them.
std::string wfdb_header(std::string_view record_name, std::string_view file_name,
                        std::span<const unsigned char> recording, double units_per_uv);

}  // namespace ba
