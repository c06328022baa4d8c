// Prints how right the automatic proposal is on synthetic recordings with
// known points, per condition: median and 95th percentile of each point's
// |error|, the share of PQ points inside the true PR segment, the mean map's
// relative difference from the map with the true points, and the share
// flagged doubtful.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "proposal_check.h"

namespace {

using ba::truth::Check;

double quantile(std::vector<double> x, double share) {
  if (x.empty()) return NAN;
  std::sort(x.begin(), x.end());
  return x[static_cast<std::size_t>(std::ceil(share * static_cast<double>(x.size())) - 1)];
}

void print_row(const std::string& name, const std::vector<Check>& checks,
               const std::function<bool(const Check&)>& in) {
  std::vector<double> q, t, j, map;
  int n = 0, pq_in = 0, flagged = 0, refused = 0, missed = 0;
  for (const Check& c : checks) {
    if (!in(c)) continue;
    ++n;
    flagged += c.doubtful;
    if (c.refused) {
      ++refused;
      continue;
    }
    q.push_back(std::abs(c.q_error_ms));
    t.push_back(std::abs(c.t_end_error_ms));
    j.push_back(std::abs(c.j_error_ms));
    pq_in += c.pq_in_pr;
    if (c.map_difference) {
      map.push_back(100.0 * *c.map_difference);
      missed += *c.map_difference > 0.10 && !c.doubtful;
    }
  }
  if (n == 0) return;
  const int proposed = n - refused;
  std::printf("%-18s %4d %6.0f %6.0f %6.0f %6.0f %6.0f %6.0f %6.0f %7.1f %7.1f %6.0f %6d\n",
              name.c_str(), n, quantile(q, 0.5), quantile(q, 0.95), quantile(t, 0.5),
              quantile(t, 0.95), quantile(j, 0.5), quantile(j, 0.95),
              proposed ? 100.0 * pq_in / proposed : NAN, quantile(map, 0.5), quantile(map, 0.95),
              100.0 * flagged / n, missed);
}

}  // namespace

int main(int argc, char** argv) {
  int count = 200;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--list") {
      list = true;
    } else if (a.find_first_not_of("0123456789") == std::string::npos && !a.empty()) {
      count = std::stoi(a);
    } else {
      std::cerr << "Usage: validate_proposal [COUNT] [--list]\n"
                   "Proposes the points of COUNT synthetic recordings (default 200) drawn\n"
                   "over the whole range of conditions and prints the error table; --list\n"
                   "also prints every recording's errors.\n";
      return 1;
    }
  }
  std::vector<Check> checks;
  for (const auto& c : ba::truth::validation_set(count)) {
    checks.push_back(ba::truth::check_proposal(c));
    const Check& k = checks.back();
    if (list) {
      std::printf("%sseed %3llu %5.0f bpm QRS %3.0f %-8s noise %2.0f wander %3.0f mains %2.0f: ",
                  k.t_into_p ? "T into P " : "", static_cast<unsigned long long>(c.seed),
                  c.heart_rate_bpm, c.qrs_ms, ba::truth::t_wave_name(c.t_wave), c.noise_uv,
                  c.wander_uv, c.mains_uv);
      if (k.refused) {
        std::printf("refused: %s\n", k.refusal.c_str());
        continue;
      }
      std::printf("Q %+d T %+d J %+d PQ %s map %.1f%%%s", k.q_error_ms, k.t_end_error_ms,
                  k.j_error_ms, k.pq_in_pr ? "in" : "OUT",
                  k.map_difference ? 100.0 * *k.map_difference : NAN,
                  k.doubtful ? " doubtful:" : "");
      for (const auto& r : k.reasons) std::printf(" [%s]", r.c_str());
      std::printf("\n");
    }
  }
  std::printf("%-18s %4s %6s %6s %6s %6s %6s %6s %6s %7s %7s %6s %6s\n", "condition", "n", "Q med",
              "Q 95", "T med", "T 95", "J med", "J 95", "PQ in%", "map med", "map 95", "flag%",
              ">10%ok");
  using ba::truth::TWave;
  print_row("all", checks, [](const Check&) { return true; });
  print_row("T into next P", checks, [](const Check& c) { return c.t_into_p; });
  print_row("T before next P", checks, [](const Check& c) { return !c.t_into_p; });
  for (TWave t : {TWave::upright, TWave::inverted, TWave::biphasic, TWave::low})
    print_row(std::string("T ") + ba::truth::t_wave_name(t), checks,
              [t](const Check& c) { return c.condition.t_wave == t; });
  const double rates[] = {45, 75, 110, 151};
  for (int i = 0; i < 3; ++i)
    print_row("rate " + std::to_string(int(rates[i])) + "-" + std::to_string(int(rates[i + 1])),
              checks, [&, i](const Check& c) {
                return c.condition.heart_rate_bpm >= rates[i] &&
                       c.condition.heart_rate_bpm < rates[i + 1];
              });
  print_row("QRS 80-120", checks, [](const Check& c) { return c.condition.qrs_ms < 120; });
  print_row("QRS 120-160", checks, [](const Check& c) { return c.condition.qrs_ms >= 120; });
  print_row("noise 5-20 uV", checks, [](const Check& c) { return c.condition.noise_uv < 20; });
  print_row("noise 20-40 uV", checks, [](const Check& c) { return c.condition.noise_uv >= 20; });
  print_row("wander 0-150 uV", checks, [](const Check& c) { return c.condition.wander_uv < 150; });
  print_row("wander 150-300 uV", checks,
            [](const Check& c) { return c.condition.wander_uv >= 150; });
  return 0;
}
