// The command lines of both programs as a user runs them, one gtest test per case of
// cli_cases.txt (its top describes the row format).
#include "support/cli_table.h"

#include <gtest/gtest.h>

namespace {

const testsupport::CliTable& table() {
  static const testsupport::CliTable t =
      testsupport::read_cli_table(HELMERT2D_SOURCE_DIR "/tests/cli/cli_cases.txt");
  return t;
}

class CliTable : public testing::TestWithParam<testsupport::CliCase> {};

TEST_P(CliTable, Case) {
  testsupport::CliCaseRun(table(), GetParam()).run();
}

INSTANTIATE_TEST_SUITE_P(Programs, CliTable, testing::ValuesIn(table().cases),
                         [](const testing::TestParamInfo<testsupport::CliCase>& param) {
                           return param.param.name;
                         });

}  // namespace
