// Mask-driven writers: field layout, rounding and the stream state they leave.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>

#include "helmert2d/yzdr.h"
#include "support/run_fixture.h"

namespace {

std::string masked(double v, const char* mask) {
  std::ostringstream os;
  frmt(os, v, mask);
  return os.str();
}

std::string masked(int v, const char* mask) {
  std::ostringstream os;
  frmt(os, v, mask);
  return os.str();
}

TEST(MaskWriters, DocumentedExamples) {
  EXPECT_EQ(masked(1234.5678, "########0.000"), "     1234.568");
  EXPECT_EQ(masked(-3.14159265, "###.####"), " -3.1416");
  EXPECT_EQ(masked(12345.6, "##.##"), "12345.60");  // wider than the mask: written whole
  EXPECT_EQ(masked(2.6, "####."), "    3");         // a final point gives no decimals
  EXPECT_EQ(masked(3.14159, "#.#.##"), "  3.14");   // decimals after the last point
  EXPECT_EQ(masked(42, "###.##"), "    42");        // integers ignore the point
  EXPECT_EQ(masked(-7, "##0"), " -7");
  EXPECT_EQ(masked(-0.001, "#0.00"), "-0.00");  // negative values keep their sign
  EXPECT_EQ(masked(0.005, "#0.00"), " 0.01");
}

TEST(MaskWriters, MaskMeasures) {
  EXPECT_EQ(mask_width("########0.000"), 13);
  const std::pair<const char*, int> masks[] = {
      {"########0.000", 3}, {"#########.###", 3}, {"#0.00", 2}, {"#####0", 0}, {"####.", 0}};
  for (const auto& [mask, decimals] : masks) EXPECT_EQ(mask_decimals(mask), decimals) << mask;
}

TEST(MaskWriters, Texts) {
  std::ostringstream os;
  frmt(os, "P1", "#####");
  frmt(os, std::string("LONGNAME"), "#####");
  frmt(os, "", "#####");
  EXPECT_EQ(os.str(), "   P1LONGNAME     ");
}

TEST(MaskWriters, LeadingTextHasNoWidthOfItsOwn) {
  std::ostringstream os;
  frmt(os, "             a =", 0.5000010, "###.########");
  frmt(os, "        f =", 4, "###");
  EXPECT_EQ(os.str(), "             a =  0.50000100        f =  4");
}

TEST(MaskWriters, StreamStateAfterWrite) {
  std::ostringstream os;
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.width(30);
  frmt(os, 1.5, "#.###");
  EXPECT_EQ(os.precision(), 3);
  EXPECT_EQ(os.width(), 0);
  EXPECT_FALSE(os.flags() & std::ios::fixed);
  os << ' ' << 0.123456;  // plain insertion: general notation, precision kept
  EXPECT_EQ(os.str(), "1.500 0.123");

  std::ostringstream is;
  is.precision(5);
  frmt(is, 12, "###.##");
  EXPECT_EQ(is.precision(), 5);  // integers leave the precision alone
  EXPECT_FALSE(is.flags() & std::ios::fixed);
}

TEST(MaskWriters, FillAndAdjustmentAreHonoured) {
  std::ostringstream os;
  os.fill('*');
  frmt(os, -1.25, "#######.##");
  os.setf(std::ios::left, std::ios::adjustfield);
  frmt(os, 3, "####");
  frmt(os, "ab", "####");
  os.setf(std::ios::internal, std::ios::adjustfield);
  frmt(os, -2.5, "######.#");
  EXPECT_EQ(os.str(), "*****-1.253***ab**-****2.5");
}

TEST(MaskWriters, UnusualStreamFlagsFollowTheStandardInsertion) {
  std::ostringstream os;
  os.setf(std::ios::showpos);
  frmt(os, 1.5, "#####.##");
  frmt(os, 7, "###");
  os.unsetf(std::ios::showpos);
  os.setf(std::ios::showpoint);
  frmt(os, 2.0, "####.");
  std::ostringstream standard;
  standard.setf(std::ios::showpoint);
  standard.setf(std::ios::fixed, std::ios::floatfield);
  standard.precision(0);
  standard.width(5);
  standard << 2.0;
  os.unsetf(std::ios::showpoint);
  EXPECT_EQ(os.str(), "   +1.50 +7" + standard.str());
}

// The fast formatting must round exactly as printf does, digit for digit.
TEST(MaskWriters, RoundingMatchesPrintf) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mag(-9.0, 9.0);
  std::uniform_int_distribution<int> dec(0, 10);
  char expect[512];
  for (double v : {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.0005, 1e-300, 1e300, -1e300, 0.015,
                   1.005, 2.675, 1e22, 9.995, -9.995, 1e-7, 123456789012345678.0}) {
    for (int d = 0; d <= 12; ++d) {
      std::snprintf(expect, sizeof expect, "%14.*f", d, v);
      std::ostringstream os;
      frmt(os, v, 14, d);
      EXPECT_EQ(os.str(), expect) << v << " with " << d << " decimals";
    }
  }
  for (int k = 0; k < 20000; ++k) {
    const double v = std::pow(10.0, mag(rng)) * (k % 2 ? -1.0 : 1.0);
    const int d = dec(rng);
    std::ostringstream os;
    frmt(os, v, 20, d);
    std::snprintf(expect, sizeof expect, "%20.*f", d, v);
    ASSERT_EQ(os.str(), expect) << v << " with " << d << " decimals";
  }
}

TEST(MaskWriters, NonFiniteValuesPrintAsTheStreamDoes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {inf, -inf, nan, -nan}) {
    std::ostringstream fast, slow;
    frmt(fast, v, "####.##");
    slow.setf(std::ios::fixed, std::ios::floatfield);
    slow.precision(2);
    slow.width(7);
    slow << v;
    EXPECT_EQ(fast.str(), slow.str());
  }
}

TEST(MaskWriters, DecimalCommaLocaleIsRespectedOnlyWhenTheStreamAsksForIt) {
  // The report stream uses the classic locale; a caller's stream with another locale
  // gets exactly what its own insertion prints.
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::ostringstream os;
  os.imbue(std::locale(std::locale::classic(), new Comma));
  frmt(os, 1.25, "###.##");
  EXPECT_EQ(os.str(), "  1,25");
}

TEST(BannerLine, PadsToFortyCharacters) {
  std::ostringstream os;
  frmt1(os, "");
  frmt1(os, "abc");
  frmt1(os, std::string(40, 'x').c_str());
  frmt1(os, std::string(45, 'y').c_str());
  EXPECT_EQ(os.str(), std::string(40, ' ') + "*\n" + "abc" + std::string(37, ' ') + "*\n" +
                          std::string(40, 'x') + "*\n" + std::string(45, 'y') + "*\n");
}

TEST(Banner, ReportVariant) {
  std::ostringstream os;
  std::ostream& back = OK_(os, "PhD. Eskin VARO", "2002, Velmora University /Turkey");
  EXPECT_EQ(&back, &os);
  EXPECT_EQ(os.str(), kBanner);
}

TEST(Rounding, Round1HalvesAwayFromZero) {
  // The last pair needs more than 32 bits.
  const std::pair<double, double> cases[] = {{2.5, 3.0},   {2.4999, 2.0}, {0.5, 1.0},
                                             {7.0, 7.0},   {-2.5, -3.0},  {-2.4, -2.0},
                                             {-2.6, -3.0}, {-0.4, 0.0},   {5e9 + 0.5, 5e9 + 1.0}};
  for (const auto& [x, rounded] : cases) EXPECT_EQ(round1(x), rounded) << x;
  EXPECT_TRUE(std::isnan(round1(std::nan(""))));
  EXPECT_TRUE(std::isinf(round1(HUGE_VAL)));
}

TEST(Rounding, Yuvarla) {
  for (const auto& [x, digits, rounded] :
       {std::tuple{1.23456, 4, 1.2346},
        {2.0, 4, 2.0},
        {4.03016, 2, 4.03},
        {-1.23456, 4, -1.2346},
        // A negative number of digits rounds to tens, hundreds, ...
        {1234.5, -2, 1200.0},
        {-1250.0, -2, -1300.0},
        {1234.5, 0, 1235.0}})
    EXPECT_DOUBLE_EQ(yuvarla(x, digits), rounded) << x;
}

}  // namespace
