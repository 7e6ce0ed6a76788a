// quadrel-cli while another run writes the same grid into the same folder: refused at
// once, like the other refusals (exit status 1), with nothing written.

#include "cli_runner.h"
#include "generation_run.h"
#include "output_lock.h"
#include "temp_dir.h"

#include <set>

namespace {

TEST(CliLockedGrid, SecondRunOfTheSameGridIsRefused) {
    testutil::TempDir dir;
    const std::vector<std::string> args = {"--grid", "dkn",      "--size",   "1km",
                                           "--area", "bornholm", "--output", dir.path().string()};
    {
        const pwnet::TOutputLock running((dir.path() / "DKN_1km_euref89").string());
        ASSERT_EQ(running.Status(), pwnet::TOutputLock::lsHeld);
        const clitest::Result r = clitest::RunCli(args);
        EXPECT_EQ(r.Status, 1);
        const std::string message =
            quadrel::BusyMessage(dir.path().string() + "/", "DKN_1km_euref89");
        EXPECT_NE((r.Out + r.Err).find(message), std::string::npos) << r.Out << r.Err;
        EXPECT_EQ(r.Out.find("Done"), std::string::npos);
        EXPECT_EQ(testutil::FilesIn(dir.path()),
                  std::set<std::string>{".DKN_1km_euref89.quadrel-lock"});
    }
    // Once the other run has ended, the grid is written.
    EXPECT_EQ(clitest::RunCli(args).Status, 0);
}

} // namespace
