// Every command's --help: it says what the command does, and its exit codes.
#include "tests/tools/cli_run.h"
#include "tests/support/case_names.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;

struct HelpCase {
  std::string command;
  std::string mentions;  // a part of what this command's help must say
};
std::string NameOf(const HelpCase &c) { return c.command; }
SIMTEST_PRINTS_CASE(HelpCase)

class CliHelp : public CliFixture, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(CliHelp, DescribesTheCommandAndItsExitCodes) {
  const CliResult result = Run(GetParam().command + " --help");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Usage: platform_sim_cli " + GetParam().command), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Exit codes:\n  0  "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\n  2  "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(GetParam().mentions), std::string::npos) << result.out;
}

INSTANTIATE_TEST_SUITE_P(Commands, CliHelp,
                         ::testing::Values(HelpCase{"run", "--flash FILE"}, HelpCase{"boot", "number of boots"},
                                           HelpCase{"sleep", "S3, S4 or S5"}, HelpCase{"form", "every language"},
                                           HelpCase{"profile", "names the field"}, HelpCase{"flash", "--flash FILE"},
                                           HelpCase{"flash info", "erased"}, HelpCase{"flash dump", "TAG"},
                                           HelpCase{"flash log", "provision"},
                                           HelpCase{"flash log provision", "signature"},
                                           HelpCase{"flash log add", "--time"}, HelpCase{"flash log clear", "afresh"}),
                         simtest::CaseName<HelpCase>);

}  // namespace
