// Random numbers for simulated data: a subtractive lagged generator (Knuth, TAOCP
// vol. 2, 3.6) with one process-wide table for uniform values, and normal deviates by
// Marsaglia's polar method on the multiplicative congruence 16807 x mod (2^31 - 1)
// (Park and Miller 1988).
#include <cmath>
#include <cstdint>
#include <ctime>

#include "helmert2d/isttstk.h"

namespace {

constexpr std::int32_t kBig = 1000000000;  // modulus of the table values
constexpr std::int32_t kSeedConst = 161803398;
constexpr double kScale = 1.0e-9;  // 1 / kBig
constexpr int kTableLength = 55;

// The one uniform generator of the process; table entries 1..55 stay in 0..kBig - 1.
struct Subtractive {
  int initialised = 0;
  std::int32_t table[kTableLength + 1] = {};
  int first = 0;
  int second = 0;
};

Subtractive state;

std::int32_t wrap(std::int32_t x) {
  return x < 0 ? x + kBig : x;
}

// Seed magnitude reduced modulo 10^9, so every table value starts in 0..kBig - 1 and
// all arithmetic stays within 32 bits; seeds up to kSeedConst are unaffected.
std::int32_t start_value(long seed) {
  const long r = seed % kBig;
  const auto magnitude = static_cast<std::int32_t>(r < 0 ? -r : r);
  return wrap(kSeedConst - magnitude);
}

void initialise(long seed) {
  state.initialised = 1;
  std::int32_t j = start_value(seed);
  state.table[kTableLength] = j;
  std::int32_t k = 1;
  for (int i = 1; i < kTableLength; ++i) {
    const int ii = (21 * i) % kTableLength;
    state.table[ii] = k;
    k = wrap(j - k);
    j = state.table[ii];
  }
  for (int pass = 0; pass < 4; ++pass)
    for (int i = 1; i <= kTableLength; ++i)
      state.table[i] = wrap(state.table[i] - state.table[1 + (i + 30) % kTableLength]);
  state.first = 0;
  state.second = 31;
}

int advance(int cursor) {
  return cursor == kTableLength ? 1 : cursor + 1;
}

constexpr double kLcgMultiplier = 16807.0;
constexpr double kLcgModulus = 2147483647.0;  // 2^31 - 1
constexpr double kLcgDivisor = 2147483648.0;  // 2^31

// The congruence needs a state in (0, 2^31 - 1): zero is a fixed point and a negative
// state keeps both coordinates at or below -1, so the polar method would never accept
// a pair. Other seeds are reduced into that range; seeds already in it are kept.
double usable_seed(double seed) {
  if (!std::isfinite(seed)) return 1.0;
  if (seed > 0.0 && seed < kLcgModulus) return seed;
  double r = std::fmod(seed, kLcgModulus);
  if (r < 0.0) r += kLcgModulus;
  return r > 0.0 ? r : 1.0;
}

// One step of the congruence, returned as a value in (-1, 1).
double next_coordinate(double& seed) {
  seed = modul(seed * kLcgMultiplier, kLcgModulus);
  if (seed <= 0.0) seed = 1.0;  // rounding could only reach zero with a fractional seed
  return 2.0 * (seed / kLcgDivisor) - 1.0;
}

}  // namespace

float rand3(long* seed) {
  if (*seed < 0 || state.initialised == 0) {
    initialise(*seed);
    *seed = 1;
  }
  state.first = advance(state.first);
  state.second = advance(state.second);
  const std::int32_t j = wrap(state.table[state.first] - state.table[state.second]);
  state.table[state.first] = j;
  return static_cast<float>(j * kScale);
}

double unif_rand_dbl(long* seed) {
  const double first = rand3(seed);
  const double second = rand3(seed);
  return first + second * kScale;
}

int randint(int n, long* seed) {
  // n + 1 in double, so the largest int n does not overflow; the product is capped
  // before it is converted. The two draws can sum to just above 1; such a draw
  // belongs to the top value.
  const double r = unif_rand_dbl(seed) * (static_cast<double>(n) + 1.0);
  return r >= static_cast<double>(n) ? n : static_cast<int>(r);
}

double modul(double a, double b) {
  // trunc equals the truncation to a 32-bit int wherever a / b fits one, and stays
  // defined where it does not.
  return a - b * std::trunc(a / b);
}

void GGNPM(double seed, int n, double* out) {
  seed = usable_seed(seed);
  for (int i = 1; i <= n; i += 2) {
    double u1 = 0.0, u2 = 0.0, w = 0.0;
    do {
      u1 = next_coordinate(seed);
      u2 = next_coordinate(seed);
      w = u1 * u1 + u2 * u2;
    } while (w >= 1.0 || w == 0.0);  // a pair at the centre has no direction
    const double f = std::sqrt(-2.0 * std::log(w) / w);
    out[i] = u1 * f;
    if (i + 1 <= n) out[i + 1] = u2 * f;
  }
}

void NrmLDzltmUrt(int n, double mean, double sd, double* out) {
  long t = static_cast<long>(std::time(nullptr));
  const double seed = unif_rand_dbl(&t) * 10000.0;
  GGNPM(seed, n, out);
  for (int i = 1; i <= n; ++i) out[i] = out[i] * sd + mean;
}
