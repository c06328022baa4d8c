#include "cohort/study.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace ba {

LeadSet usable_leads(const LeadLayout& layout) {
  LeadSet leads;
  for (int n = 1; n <= lead_point_count; ++n)
    if (layout.leads(n).usable()) leads.push_back(n);
  return leads;
}

std::vector<LeadValues> beat_maps(const std::vector<ResultBeat>& beats) {
  std::vector<LeadValues> maps;
  maps.reserve(beats.size());
  for (const ResultBeat& beat : beats) maps.push_back(beat_values(beat, 1.0));
  return maps;
}

LeadValues mean_map(const std::vector<LeadValues>& maps, const LeadSet& leads) {
  LeadValues mean;
  if (maps.empty()) return mean;
  for (int n : leads) {
    double sum = 0;
    for (const LeadValues& map : maps) sum += map(n);
    mean(n) = sum / static_cast<double>(maps.size());
  }
  return mean;
}

namespace {

// Sample standard deviation (n - 1) of every lead over the maps.
LeadValues lead_sd(const std::vector<LeadValues>& maps, const LeadSet& leads) {
  LeadValues sd;
  const LeadValues mean = mean_map(maps, leads);
  for (int n : leads) {
    double squares = 0;
    for (const LeadValues& map : maps) squares += (map(n) - mean(n)) * (map(n) - mean(n));
    sd(n) = std::sqrt(squares / static_cast<double>(maps.size() - 1));
  }
  return sd;
}

// The eigenvector's element of largest magnitude made positive. Elements
// within a rounding error of the largest count as tied, and the first of
// them decides, so equal loadings do not flip the sign by noise.
void apply_sign_rule(Eigen::VectorXd& vector) {
  const double largest = vector.cwiseAbs().maxCoeff();
  for (Eigen::Index i = 0; i < vector.size(); ++i) {
    if (std::abs(vector(i)) >= largest * (1 - 1e-9)) {
      if (vector(i) < 0) vector = -vector;
      return;
    }
  }
}

}  // namespace

std::optional<double> variability(const std::vector<LeadValues>& maps, const LeadSet& leads) {
  if (maps.size() < 2 || leads.empty()) return std::nullopt;
  const LeadValues sd = lead_sd(maps, leads);
  double sum = 0;
  for (int n : leads) sum += sd(n) * sd(n);
  return std::sqrt(sum / static_cast<double>(leads.size()));
}

GroupOutcome make_reference_group(const std::vector<LeadValues>& means, const LeadSet& leads) {
  if (static_cast<int>(means.size()) < smallest_group)
    return "a reference group needs at least " + std::to_string(smallest_group) +
           " result files, not " + std::to_string(means.size());
  if (leads.empty()) return std::string("a reference group needs at least one usable lead");
  ReferenceGroup group;
  group.leads = leads;
  group.count = static_cast<int>(means.size());
  group.mean = mean_map(means, leads);
  group.sd = lead_sd(means, leads);
  for (int n : leads)
    if (group.sd(n) < smallest_spread) group.sd(n) = 0;

  // S = (1/N) sum m_i m_i^T over the leads, not centred.
  const auto size = static_cast<Eigen::Index>(leads.size());
  Eigen::MatrixXd maps(size, static_cast<Eigen::Index>(means.size()));
  for (Eigen::Index j = 0; j < maps.cols(); ++j)
    for (Eigen::Index i = 0; i < size; ++i)
      maps(i, j) = means[static_cast<std::size_t>(j)](leads[static_cast<std::size_t>(i)]);
  const Eigen::MatrixXd s = maps * maps.transpose() / static_cast<double>(means.size());
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(s);
  if (solver.info() != Eigen::Success)
    return std::string("the maps' covariance has no eigenvectors to be found");

  // The solver gives ascending eigenvalues; the basis runs from the largest.
  const Eigen::VectorXd& values = solver.eigenvalues();
  const double largest = values(size - 1);
  for (Eigen::Index k = size - 1; k >= 0; --k) {
    if (static_cast<int>(group.basis.size()) == largest_basis) break;
    if (!(largest > 0) || values(k) <= largest * rank_tolerance) break;
    Eigen::VectorXd vector = solver.eigenvectors().col(k);
    apply_sign_rule(vector);
    KlComponent component;
    component.eigenvalue = values(k);
    for (Eigen::Index i = 0; i < size; ++i)
      component.vector(leads[static_cast<std::size_t>(i)]) = vector(i);
    group.basis.push_back(component);
  }
  return group;
}

std::vector<double> kl_coefficients(const ReferenceGroup& group, const LeadValues& map) {
  std::vector<double> coefficients;
  for (const KlComponent& component : group.basis) {
    double c = 0;
    for (int n : group.leads) c += component.vector(n) * map(n);
    coefficients.push_back(c);
  }
  return coefficients;
}

std::optional<double> non_dipolarity(const std::vector<double>& coefficients) {
  if (static_cast<int>(coefficients.size()) < smallest_ndi_basis) return std::nullopt;
  double beyond = 0;
  double total = 0;
  for (std::size_t k = 0; k < coefficients.size(); ++k) {
    const double energy = coefficients[k] * coefficients[k];
    total += energy;
    if (k >= 3) beyond += energy;
  }
  if (!(total > 0)) return std::nullopt;
  return beyond / total;
}

Departure departure(const ReferenceGroup& group, const LeadValues& map) {
  Departure found;
  for (int n : group.leads) {
    if (!(group.sd(n) > 0)) {
      found.left_out.push_back(n);
      continue;
    }
    const double z = (map(n) - group.mean(n)) / group.sd(n);
    found.z(n) = z;
    if (found.max_abs_z_lead == 0 || std::abs(z) > found.max_abs_z) {
      found.max_abs_z = std::abs(z);
      found.max_abs_z_lead = n;
    }
    if (std::abs(z) >= 2) ++found.leads_z2;
    if (std::abs(z) >= 3) ++found.leads_z3;
  }
  return found;
}

}  // namespace ba
