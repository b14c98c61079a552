// Writes a pair of realistic coordinate files for timing whole runs: control points of
// a local survey grid and the same points in a national grid (a turned, scaled and
// shifted copy with millimetre noise and a few blunders), plus further points that
// only the local file holds.
//
//   generate_survey COMMON FURTHER LOCAL_FILE NATIONAL_FILE [SEED]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: generate_survey COMMON FURTHER LOCAL_FILE NATIONAL_FILE [SEED]\n");
    return 2;
  }
  const long common = std::atol(argv[1]);
  const long further = std::atol(argv[2]);
  std::FILE* local = std::fopen(argv[3], "w");
  std::FILE* national = std::fopen(argv[4], "w");
  if (local == nullptr || national == nullptr) {
    std::perror("generate_survey");
    return 1;
  }
  std::mt19937_64 rng(argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 20261208u);
  std::uniform_real_distribution<double> spread(0.0, 20000.0);
  std::uniform_real_distribution<double> height(80.0, 950.0);
  std::normal_distribution<double> noise(0.0, 0.004);

  // Local grid to national grid: 37.2 grads, scale 1.000018, false origin shift.
  const double angle = 37.2 * 3.141592653589793 / 200.0, scale = 1.000018;
  const double a = scale * std::cos(angle), o = scale * std::sin(angle);
  const double tx = 4512345.678, ty = 452876.543;

  // Control points, written to the national file in reverse order so that pairing
  // does real look-ups.
  std::string national_text;
  for (long i = 1; i <= common + further; ++i) {
    const double x = 10000.0 + spread(rng), y = 20000.0 + spread(rng), h = height(rng);
    const bool is_common = i <= common;
    std::fprintf(local, "%s%ld %.3f %.3f %.3f\n", is_common ? "K" : "P", i, x, y, h);
    if (is_common) {
      double X = a * x - o * y + tx + noise(rng);
      const double Y = o * x + a * y + ty + noise(rng);
      if (i % 997 == 0) X += 0.15;  // an occasional blunder
      std::fprintf(national, "K%ld %.3f %.3f %.3f\n", i, X, Y, h);
    }
  }
  std::fclose(local);
  std::fclose(national);
  return 0;
}
