// The estimate of a run: pairing, points left out, data snooping and the solution.
#include "estimate.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include "pairing.h"
#include "textio/textio.h"

namespace helmert2d {
namespace {

// The tests' settings of the request: the quality figures are formed when the outputs
// carry them.
TestSettings test_settings(const RunRequest& req) {
  TestSettings settings = req.tests;
  settings.quality = req.quality;
  return settings;
}

// Whether the run weights its points: a --sigma-* value or a sigma column in a file.
bool has_weights(const RunRequest& req, const CoordinateFile& first, const CoordinateFile& second) {
  return req.sigma_first > 0.0 || req.sigma_second > 0.0 || first.columns.has_sigma() ||
         second.columns.has_sigma();
}

// Whether the run weights its heights: a --sigma-h-* value or a sigma_h column.
bool has_height_weights(const RunRequest& req, const CoordinateFile& first,
                        const CoordinateFile& second) {
  return req.heights && (req.sigma_h_first > 0.0 || req.sigma_h_second > 0.0 ||
                         first.columns.has_sigma_h() || second.columns.has_sigma_h());
}

// Makes `pairing` the points of the estimate (its solution not yet computed).
void use(Estimate& est, Pairing&& pairing) {
  est.result = RunResult{};
  est.result.points = std::move(pairing.points);
  est.result.left_out = std::move(pairing.left_out);
  est.is_common = std::move(pairing.is_common);
}

// The console line of a snooping step, naming the test that flagged the point.
std::string snoop_line(const std::string& name, const SnoopStep& step, const OutlierTestRow& row,
                       double component_critical) {
  std::ostringstream line;
  line.imbue(std::locale::classic());
  line << std::fixed << std::setprecision(2);
  line << " Snooping: " << name << " left out (T = " << step.T
       << (row.pair_flagged ? " > c = " : ", c = ") << step.c;
  if (!row.pair_flagged) {
    line << "; component test " << std::max(row.Tvx, row.Tvy) << " > " << component_critical;
  }
  line << "), mo now " << std::setprecision(4) << step.mo_after << " m\n";
  return line.str();
}

// One step of data snooping on the solved estimate `est`: when the pair test is made
// (f > 2: more than three points for the similarity), the flagged point (either table)
// with the largest pair test value T is left out, unless that would leave fewer common
// points than the model has parameters (four for the similarity, three for the rigid
// model, six for the affine one), and the rest paired and solved again into `est`.
// True when a point was left out.
bool snoop_step(Estimate& est, NameSet& left_out, const RunRequest& req,
                const CoordinateFile& first, const CoordinateFile& second, std::ostream& console) {
  if (!est.result.outliers || !est.result.outliers->pairs) return false;
  const OutlierTestResult& o = *est.result.outliers;
  int worst = 0;
  for (int i = 1; i <= o.n; ++i) {
    const OutlierTestRow& row = o.rows[static_cast<std::size_t>(i)];
    if (!row.component_flagged && !row.pair_flagged) continue;
    if (worst == 0 || row.T > o.rows[static_cast<std::size_t>(worst)].T) worst = i;
  }
  if (worst == 0) return false;
  const OutlierTestRow flagged = o.rows[static_cast<std::size_t>(worst)];
  const double component_critical = o.component_critical;
  const std::string& worst_name = est.result.points.name[static_cast<std::size_t>(worst)];
  const std::string name = textio::printable_token(worst_name);
  const int u = parameter_count(req.model);
  if (est.result.points.n - 1 < u) {
    const char* const count = u == 3 ? "three" : u == 6 ? "six" : "four";
    console << " Snooping stopped: " << name
            << " is still flagged, but leaving it out would leave fewer than " << count
            << " common points\n";
    return false;
  }
  SnoopStep step{worst_name, flagged.T, o.pair_critical, 0.0};
  left_out.insert(step.name);
  // The estimate without it gives the step's new mo.
  use(est, pair_points(first, second, left_out, nullptr, has_weights(req, first, second),
                       has_height_weights(req, first, second)));
  est.solved = compute_run(est.result, test_settings(req), req.model);
  step.mo_after = est.solved == Solved::yes ? est.result.solution.mo : 0.0;
  console << snoop_line(name, step, flagged, component_critical);
  est.snooping.push_back(step);
  return true;
}

// The height points of the final estimate's common points: N, E the given coordinates
// of system II, the --exclude-height names left out of the fit.
HeightPoints height_points(const CommonPoints& cp, const std::vector<std::string>& excluded) {
  HeightPoints h;
  h.n = cp.n;
  h.H1 = cp.third;
  h.H2 = cp.third2;
  h.N = cp.X;
  h.E = cp.Y;
  h.weights = cp.weight_h;
  if (!excluded.empty()) {
    h.excluded.assign(static_cast<std::size_t>(cp.n) + 1, 0);
    for (int i = 1; i <= cp.n; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (std::find(excluded.begin(), excluded.end(), cp.name[k]) != excluded.end())
        h.excluded[k] = 1;
    }
  }
  return h;
}

// The console line of a step of the heights' data snooping.
std::string height_snoop_line(const std::string& name, const HeightSnoopStep& step) {
  std::ostringstream line;
  line.imbue(std::locale::classic());
  line << std::fixed << std::setprecision(2);
  line << " Snooping heights: " << name << " left out of the height fit (t' = " << step.t
       << " > c = " << step.c << "), mo_h now " << std::setprecision(4) << step.mo_after << " m\n";
  return line.str();
}

// Fits the heights of the final estimate's points and, with --snoop, leaves out of the
// height fit the flagged point of the largest |t_aside| and fits again, one console line
// a step, until none is flagged or leaving one out would leave no redundancy to test by
// (f_h < 2).
HeightResult fit_run_heights(const RunRequest& req, const CommonPoints& cp, std::ostream& console) {
  HeightResult h;
  h.excluded = req.exclude_height;
  h.points = height_points(cp, req.exclude_height);
  h.fit = fit_heights(*req.heights, h.points);
  while (req.snoop && h.fit.status == HeightStatus::ok && h.fit.flagged > 0) {
    int worst = 0;
    for (int i = 1; i <= cp.n; ++i) {
      const HeightPointFit& pf = h.fit.points[static_cast<std::size_t>(i)];
      if (!pf.flagged) continue;
      if (worst == 0 ||
          std::fabs(pf.t_aside) > std::fabs(h.fit.points[static_cast<std::size_t>(worst)].t_aside))
        worst = i;
    }
    const std::string name = textio::printable_token(cp.name[static_cast<std::size_t>(worst)]);
    if (h.fit.f - 1 < 2) {
      console << " Snooping heights stopped: " << name
              << " is still flagged, but leaving it out would leave too few height points\n";
      break;
    }
    HeightSnoopStep step{cp.name[static_cast<std::size_t>(worst)],
                         h.fit.points[static_cast<std::size_t>(worst)].t_aside, h.fit.critical,
                         0.0};
    step.t = std::fabs(step.t);
    if (h.points.excluded.empty()) h.points.excluded.assign(static_cast<std::size_t>(cp.n) + 1, 0);
    h.points.excluded[static_cast<std::size_t>(worst)] = 1;
    h.fit = fit_heights(*req.heights, h.points);
    step.mo_after = h.fit.status == HeightStatus::ok ? h.fit.mo : 0.0;
    console << height_snoop_line(name, step);
    h.snooping.push_back(step);
  }
  return h;
}

}  // namespace

Estimate estimate(const RunRequest& req, const CoordinateFile& first, const CoordinateFile& second,
                  std::ostream& console) {
  Estimate est;
  NameSet left_out(req.exclude.begin(), req.exclude.end());
  PairingNotes notes;
  use(est, pair_points(first, second, left_out, &notes, has_weights(req, first, second),
                       has_height_weights(req, first, second)));
  write_input_notes(console, req.file1, req.file2, first, notes);
  for (const std::string& name : req.exclude) {
    // A name that pairs is a common point: left out, its pairings are in left_out.
    const auto& left = est.result.left_out;
    if (std::none_of(left.begin(), left.end(),
                     [&name](const LeftOutPoint& p) { return p.name == name; })) {
      console << " ??? --exclude " << textio::printable_token(name)
              << ": no common point has that name\n";
      est.status = 2;
      return est;
    }
  }
  for (const std::string& name : req.exclude_height) {
    // A name of a point that pairs: a common point, or one --exclude leaves out.
    const CommonPoints& cp = est.result.points;
    const auto& left = est.result.left_out;
    if (std::find(cp.name.begin() + 1, cp.name.end(), name) == cp.name.end() &&
        std::none_of(left.begin(), left.end(),
                     [&name](const LeftOutPoint& p) { return p.name == name; })) {
      console << " ??? --exclude-height " << textio::printable_token(name)
              << ": no common point has that name\n";
      est.status = 2;
      return est;
    }
  }
  if (!req.exclude.empty()) {
    console << " Left out of the estimation:";
    for (const std::string& name : req.exclude) console << " " << textio::printable_token(name);
    console << "\n";
  }
  est.solved = compute_run(est.result, test_settings(req), req.model);
  while (req.snoop && est.solved == Solved::yes &&
         snoop_step(est, left_out, req, first, second, console)) {
  }
  if (req.heights && est.solved == Solved::yes)
    est.result.heights = fit_run_heights(req, est.result.points, console);
  // Each point left out is tied to the step that left it out.
  for (LeftOutPoint& p : est.result.left_out) {
    for (std::size_t s = 0; s < est.snooping.size(); ++s) {
      if (est.snooping[s].name == p.name) p.snoop_step = static_cast<int>(s + 1);
    }
  }
  return est;
}

}  // namespace helmert2d
