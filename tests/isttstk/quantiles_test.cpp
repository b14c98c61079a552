// Closed-form quantiles against the reference values of the formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "helmert2d/isttstk.h"

namespace {

struct Case {
  const char* what;
  double value;
  double expected;
  double tolerance;  // half a unit in the last digit shown
};

TEST(Quantiles, ReferenceTable) {
  const Case cases[] = {
      {"Z_(0.05)", Z_(0.05), 1.6452, 5e-5},
      {"Z_(0.025)", Z_(0.025), 1.9604, 5e-5},
      {"t_(0.025, 10)", t_(0.025, 10), 2.2287, 5e-5},
      {"t_(0.025, 1)", t_(0.025, 1), 11.310, 5e-4},
      {"t_(0.05, 10)", t_(0.05, 10), 1.8129, 5e-5},
      {"X2_(0.05, 10)", X2_(0.05, 10), 18.294, 5e-4},
      {"X2_(0.05, 1)", X2_(0.05, 1), 3.748, 5e-4},
      {"F_(0.05, 1, 10)", F_(0.05, 1, 10), 4.6657, 5e-5},
      {"F_(0.05, 1, 2)", F_(0.05, 1, 2), 10.481, 5e-4},
      {"F_(0.05, 5, 10)", F_(0.05, 5, 10), 3.2361, 5e-5},
      {"NormaL(0)", NormaL(0.0), -10.0, 0.0},
      {"NormaL(1)", NormaL(1.0), 10.0, 0.0},
      {"NormaL(0.975)", NormaL(0.975), 1.9604, 5e-5},
      {"NormaL(0.05)", NormaL(0.05), -1.6452, 5e-5},
      // Critical values of the run's tests.
      {"F_(0.05, 1, 2)", F_(0.05, 1, 2), 10.48, 5e-3},
      {"t_(0.025, 2)", t_(0.025, 2), 4.27, 5e-3},
      {"t_(0.05/6, 1)", t_(0.05 / 6, 1), 27.79, 5e-3},
      {"t_(0.05/8, 3)", t_(0.05 / 8, 3), 5.36, 5e-3},
      {"t_(0.05/10, 5)", t_(0.05 / 10, 5), 4.03, 5e-3},
      {"t_(0.05/20, 15)", t_(0.05 / 20, 15), 3.29, 5e-3},
      {"t_(0.05/40, 35)", t_(0.05 / 40, 35), 3.26, 5e-3},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.what;
}

TEST(Quantiles, SelectorsAndSpecialArguments) {
  EXPECT_EQ(TABLO(0.05, 3, 4, 7), Z_(0.05));
  EXPECT_EQ(TABLO(0.05, 3, 4, -1), Z_(0.05));
  EXPECT_EQ(t_(0.05, 10), TABLO(0.05, 10, 99, 1));  // f2 unused
  EXPECT_NEAR(Z_(0.5), -1.0e-7, 1e-6);
  EXPECT_EQ(NormaL(0.5), Z_(0.5));
  EXPECT_NEAR(Z_(1.0), -2.515517, 1e-12);
  EXPECT_TRUE(std::isnan(Z_(0.0)));
  EXPECT_TRUE(std::isnan(Z_(1.5)));
  EXPECT_FALSE(std::isfinite(t_(0.05, 0)));
}

TEST(Quantiles, NormalIsSymmetric) {
  for (double p : {0.001, 0.01, 0.1, 0.3, 0.45}) {
    EXPECT_DOUBLE_EQ(NormaL(p), -NormaL(1.0 - p)) << p;
    EXPECT_LT(NormaL(p), NormaL(p + 0.01));
  }
}

}  // namespace
