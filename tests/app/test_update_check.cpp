// The update check against an HTTP server on 127.0.0.1: what each answer of the
// server means, what the user is told and asked, and what is opened.

#include "http_test_server.h"
#include "scripted_dialogs.h"
#include "uCheckVersion.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::HttpTestServer;
using apptest::OpenedUrls;
using apptest::ScriptedDialogs;

namespace {

const std::string NoUpdates = "No updates available";
const std::string UpdateAvailable = "Update is available";
const std::string Unknown = "Could not determine availability of updates";
const std::string Question = "Go to website to download?";

struct ServerCase {
    const char* Name;
    int Status;
    std::string Body;
    int Outcome;
};

void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.Name;
}

class UpdateCheckByAnswer : public ::testing::TestWithParam<ServerCase> {};

// The body is compared unchanged and in full with the running version.
INSTANTIATE_TEST_SUITE_P(
    Answers, UpdateCheckByAnswer,
    ::testing::Values(ServerCase{"ExactVersion", 200, "1.03", voSame},
                      ServerCase{"AnotherVersion", 200, "1.04", voDifferent},
                      ServerCase{"TrailingLineBreak", 200, "1.03\n", voDifferent},
                      ServerCase{"TrailingCrLf", 200, "1.03\r\n", voDifferent},
                      ServerCase{"TrailingSpace", 200, "1.03 ", voDifferent},
                      ServerCase{"OtherCase", 200, "V1.03", voDifferent},
                      ServerCase{"ErrorPageUnderSuccess", 200, "<html>oops</html>", voDifferent},
                      ServerCase{"EmptyBody", 200, "", voUnknown},
                      ServerCase{"NotFound", 404, "1.03", voUnknown},
                      ServerCase{"ServerError", 500, "1.03", voUnknown}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(UpdateCheckByAnswer, OutcomeMessagesAndQuestion) {
    const ServerCase& c = GetParam();
    HttpTestServer server(c.Status, c.Body);
    EXPECT_EQ(CompareVersion("Quadrel", "1.03", server.Url()), c.Outcome);

    ScriptedDialogs dialogs;
    dialogs.AnswerYes = false;
    OpenedUrls opened;
    CheckForUpdates("quadrel", "1.03", dialogs, server.Url());
    std::vector<std::string> expected;
    switch (c.Outcome) {
    case voSame:
        expected = {"message " + NoUpdates};
        break;
    case voDifferent:
        expected = {"message " + UpdateAvailable, "question " + Question};
        break;
    default:
        expected = {"message " + Unknown};
        break;
    }
    EXPECT_EQ(dialogs.Seen, expected);
    EXPECT_TRUE(opened.Urls.empty()) << "No opens nothing";
    // Every check is one GET of the version file under the lower-case name.
    for (const std::string& r : server.Requests())
        EXPECT_EQ(r, "GET /versions/quadrel.txt HTTP/1.1");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(UpdateCheck, YesOpensTheDownloadPageOfTheSameServer) {
    HttpTestServer server(200, "1.04");
    ScriptedDialogs dialogs;
    dialogs.AnswerYes = true;
    OpenedUrls opened;
    CheckForUpdates("quadrel", "1.03", dialogs, server.Url());
    ASSERT_EQ(opened.Urls.size(), 1u);
    EXPECT_EQ(opened.Urls[0].toString().toStdString(), server.Url() + "download.php");
}

TEST(UpdateCheck, FailuresOfTheRequestAreUnknown) {
    ScriptedDialogs dialogs;
    // Nothing listens on the port.
    EXPECT_EQ(CompareVersion("quadrel", "1.03", HttpTestServer::UnusedUrl()), voUnknown);
    CheckForUpdates("quadrel", "1.03", dialogs, HttpTestServer::UnusedUrl());
    EXPECT_EQ(dialogs.Messages, std::vector<std::string>{Unknown});
    // A name that does not resolve (the .invalid domain never does).
    EXPECT_EQ(FetchVersionText("quadrel", "http://quadrel.invalid/"), "");
    // Not an address at all.
    EXPECT_EQ(FetchVersionText("quadrel", "no scheme here"), "");
}

// Regression: a server that accepts the connection but never answers used to
// hold the window for good; the request now gives up after its time limit.
TEST(UpdateCheck, SilentServerGivesUpAfterTheTimeLimit) {
    HttpTestServer server(200, "1.03", /*Silent=*/true);
    TFetchLimits limits;
    limits.TotalTimeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CompareVersion("quadrel", "1.03", server.Url(), limits), voUnknown);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Regression: the whole answer used to be taken into memory whatever its size.
TEST(UpdateCheck, OversizedAnswerIsRefused) {
    TFetchLimits limits;
    limits.MaxBodyBytes = 1000;
    HttpTestServer fits(200, std::string(1000, 'x'));
    EXPECT_EQ(FetchVersionText("quadrel", fits.Url(), limits).size(), 1000u);
    HttpTestServer tooLarge(200, std::string(1001, 'x'));
    EXPECT_EQ(FetchVersionText("quadrel", tooLarge.Url(), limits), "");
    EXPECT_EQ(CompareVersion("quadrel", "1.03", tooLarge.Url(), limits), voUnknown);
}

TEST(UpdateCheck, AddressesOnTheServer) {
    EXPECT_EQ(VersionFileUrl("http://h.example/", "Quadrel"),
              "http://h.example/versions/quadrel.txt");
    EXPECT_EQ(VersionFileUrl("http://h.example/sub", "QUADREL"),
              "http://h.example/sub/versions/quadrel.txt");
    EXPECT_EQ(DownloadPageUrl("http://h.example/sub"), "http://h.example/sub/download.php");
    EXPECT_EQ(DownloadPageUrl("http://h.example/"), "http://h.example/download.php");
    const std::string server = UpdateServer();
    ASSERT_FALSE(server.empty());
    EXPECT_EQ(server.back(), '/');
    EXPECT_EQ(server.rfind(QUADREL_TEST_UPDATE_SERVER, 0), 0u) << server;
}

} // namespace
