// Matrix printing: the table layout and the sequential adjustment's "c1.dat".
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "helmert2d/yzdr.h"
#include "support/matrix_support.h"
#include "support/temp_dir.h"

using namespace mtrs_test;

TEST(PrntMtrs, TriangleModeBlanksCellsBelowTheDiagonal) {
  Mat A{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  std::ostringstream os;
  PrntMtrs(os, 3, 3, "Qxx", A, "###.0000", "Ucg");
  // pad(Qxx, 24) = 12 - 1 = 11 on either side.
  EXPECT_EQ(os.str(),
            "\n           Qxx           \n"
            "========================\n"
            "  1.0000  2.0000  3.0000\n"
            "          5.0000  6.0000\n"
            "                  9.0000\n"
            "========================\n");
}

TEST(PrntMtrs, OtherModesPrintTheFullMatrix) {
  Mat A{{1, 2}, {3, 4}};
  for (const char* mode : {"ucg", "", "Ucg "}) {
    std::ostringstream os;
    PrntMtrs(os, 2, 2, "A", A, "##.0", mode);
    EXPECT_EQ(os.str(), "\n    A    \n========\n 1.0 2.0\n 3.0 4.0\n========\n") << mode;
  }
}

TEST(PrntMtrs, LongTitleAndWideValues) {
  Mat A{{123456.0}};
  std::ostringstream os;
  PrntMtrs(os, 1, 1, "Kofaktor", A, "#.0", "");
  EXPECT_EQ(os.str(), "\nKofaktor\n===\n123456.0\n===\n");
}

TEST(PrntMtrsVktr, VectorColumnBesideTheMatrix) {
  Mat A{{1, -2}, {3, 4}};
  Vec b{10.5, -0.25};
  std::ostringstream os;
  PrntMtrsVktr(os, 2, 2, "Qxx", A, "###.0000", "x", b, "######.0000", "Ucg");
  EXPECT_EQ(os.str(),
            "\n"
            "       Qxx       "  // pad(Qxx, 16) = 7 on either side
            "  "
            "     x\n"  // pad(x, 11) = 5, no trailing spaces
            "================  ===========\n"
            "  1.0000 -2.0000      10.5000\n"
            "          4.0000      -0.2500\n"
            "================  ===========\n");
}

using testsupport::InTempDir;

TEST(ArdskEKKFinal, WritesC1DatOnlyWhenTheTotalIsReached) {
  InTempDir here;
  Mat N(1, 1), A{{1}}, P{{1}}, K(1, 1);
  Vec g(1), x(1);
  int count = 0;
  Vec l1{1}, l2{3};
  ArdskEKK(2, 1, N, g, count, 1, A, l1, P, x, K);
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(std::filesystem::exists("c1.dat"));
  ArdskEKK(2, 1, N, g, count, 1, A, l2, P, x, K);
  EXPECT_EQ(count, 2);
  EXPECT_DOUBLE_EQ(x[1], 2.0);
  EXPECT_DOUBLE_EQ(K[1][1], 0.5);  // not scaled by m0^2
  EXPECT_DOUBLE_EQ(K[0][0], 2.0);
  EXPECT_EQ(testsupport::read_file("c1.dat"),
            "\n   Qxx          x\n"
            "========  ===========\n"
            "  0.5000       2.0000\n"
            "========  ===========\n");
}

TEST(ArdskEKKFinal, UnwritableC1DatStillSetsTheResults) {
  InTempDir here;
  std::filesystem::create_directory("c1.dat");  // cannot be opened as a file
  Mat N(1, 1), K(1, 1);
  Vec g(1), x(1), l{1, 3};
  Mat A2{{1}, {1}}, P2{{1, 0}, {0, 1}};
  int count = 0;
  CoutCapture out;
  ArdskEKK(2, 1, N, g, count, 2, A2, l, P2, x, K);
  EXPECT_TRUE(out.text().empty());
  EXPECT_DOUBLE_EQ(x[1], 2.0);
  EXPECT_DOUBLE_EQ(K[0][0], 2.0);
}
