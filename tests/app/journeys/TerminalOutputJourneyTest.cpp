// What the program writes to its terminal while a member uses it holds nothing personal, whatever
// diagnostic groups are switched on.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "JourneySupport.h"
#include "app/signon/OAuth.h"
#include "platform/core/Log.h"
#include "support/ScopedTraceSwitch.h"

namespace {

using namespace journey;  // NOLINT: the harness is this program's own

// Sends the process's standard output and standard error (and whatever the processes it starts
// meanwhile write there) to a file until finish().
class CapturedTerminal {
  public:
    CapturedTerminal() : path_(testing_support::freshTestFolder() / "terminal.txt") {
        flush();
        const int fd = ::open(path_.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        savedOut_ = ::dup(1);
        savedErr_ = ::dup(2);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~CapturedTerminal() { finish(); }
    std::string finish() {
        if (savedOut_ >= 0) {
            flush();
            ::dup2(savedOut_, 1);
            ::dup2(savedErr_, 2);
            ::close(savedOut_);
            ::close(savedErr_);
            savedOut_ = savedErr_ = -1;
        }
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    static void flush() {
        std::cout.flush();
        std::cerr.flush();
        std::fflush(stdout);
        std::fflush(stderr);
    }
    std::filesystem::path path_;
    int savedOut_ = -1;
    int savedErr_ = -1;
};

// Keeps the lines written to the system log until finish().
class CapturedSystemLog {
  public:
    CapturedSystemLog() {
        previous_ = plat::setSystemLogSink([this](std::string_view line) {
            text_.append(line);
            text_ += '\n';
        });
    }
    ~CapturedSystemLog() { finish(); }
    std::string finish() {
        if (!finished_) {
            plat::setSystemLogSink(previous_);
            finished_ = true;
        }
        return text_;
    }

  private:
    plat::LogSink previous_;
    std::string text_;
    bool finished_ = false;
};

constexpr const char* kSomchai = "somchai@example.com";

// A sign-in through the sign-on window, a search and a borrow, with every diagnostic group on: the
// member's e-mail address (which is the user name), first and last name, password, session token
// and access token appear nowhere in what the program wrote, to the terminal or to the system log.
TEST_F(JourneyTest, TerminalOutputHoldsNoPersonalData) {
    CapturedTerminal terminal;
    CapturedSystemLog systemLog;
    launch();
    // Until the test ends; then the program's own switch is back.
    const testing_support::ScopedTraceSwitch everyGroupOn([](std::string_view) { return true; });
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    const auto oauth = OAuth::sharedInstance();
    const std::string accessToken = oauth ? oauth->getAccessToken() : std::string();
    search(QStringLiteral("สี่แผ่นดิน"));
    ASSERT_TRUE(waitFor([&] { return showsText("สี่แผ่นดิน", content()); })) << "results show";
    clickToolbar("ic_book");
    openShown("The Little Prince");
    click(detailAction("ยืม"));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    closeReader();
    const std::string written = terminal.finish() + systemLog.finish();

    const auto account = demo().catalogue().account(kSomchai);
    ASSERT_TRUE(account);
    std::vector<std::string> personal{kSomchai, "somchai", account->password};
    for (const std::string& name : {account->firstName, account->lastName}) {
        if (name.size() > 2)
            personal.push_back(name);
    }
    if (!accessToken.empty())
        personal.push_back(accessToken);
    for (const auto& [token, user] : demo().catalogue().sessionTokens())
        personal.push_back(token);
    ASSERT_FALSE(written.empty()) << "the diagnostic lines were captured";
    EXPECT_NE(written.find("OAuthRequest didFinishWithResponse"), std::string::npos)
        << "the screens' lines were captured";
    for (const std::string& secret : personal) {
        const size_t at = written.find(secret);
        EXPECT_EQ(at, std::string::npos)
            << "the program wrote \"" << secret << "\" in: "
            << written.substr(at == std::string::npos ? 0 : (at > 200 ? at - 200 : 0), 400);
    }
}

}  // namespace

namespace {

// A normal run, with the settings the program ships with: a sign-in, a search, a borrow and
// the service restarted under a signed-in member write no diagnostic line (a function and
// "[Line N]") to the terminal.
TEST_F(JourneyTest, ANormalRunWritesNoDiagnosticLines) {
    CapturedTerminal terminal;
    launch();
    ASSERT_NO_FATAL_FAILURE(signIn(kSomchai));
    search(QStringLiteral("สี่แผ่นดิน"));
    ASSERT_TRUE(waitFor([&] { return showsText("สี่แผ่นดิน", content()); })) << "results show";
    // The service forgets its sessions: the member's next action makes one again.
    demo().stop();
    ASSERT_TRUE(demo().start());
    clickToolbar("ic_book");
    openShown("The Little Prince");
    click(detailAction("ยืม"));
    ASSERT_TRUE(waitFor([&] { return readerWindow() != nullptr; }, 30000)) << alertsText();
    closeReader();
    const std::string written = terminal.finish();
    std::istringstream lines(written);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.find(" [Line "), std::string::npos) << line;
}

}  // namespace
