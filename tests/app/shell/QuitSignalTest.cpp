// The program asked to end by a signal (SIGTERM at logout or shutdown, SIGHUP from a closed
// terminal, SIGINT on Ctrl-C) while a page check waits: it ends as when its main window is closed
// (status 0, after its usual end, which stops the check), and no checker is left. A signal it was
// started with ignored stays ignored. Killed outright, it still leaves no checker, and a checker
// whose starter is already gone when it starts ends at once.
//
// The program is app_quit_check's "held" scenario. Its page check runs the real checker, handed a
// named pipe in place of the page (by a stand-in that execs it): the checker waits to read it,
// and once this test has opened the pipe for writing (which succeeds only while a reader has it
// open) it waits for good, since the test holds that end open and never writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "support/PdfFixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The program's launch (a sanitizer build on a busy machine takes long) and its end; a checker's
// end once its starter is gone.
constexpr auto kLaunchLimit = 180s;
constexpr auto kEndLimit = 60s;
constexpr auto kCheckerEndLimit = 20s;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);  // between two looks at the condition
    }
    return true;
}

// The wait status of this process's child once it has ended; nothing when it did not end within
// the limit (or is not a child of this process).
std::optional<int> endOf(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    pid_t ended = 0;
    waitUntil(
        [&] {
            ended = ::waitpid(pid, &status, WNOHANG);
            return ended != 0;
        },
        limit);
    return ended == pid ? std::optional<int>(status) : std::nullopt;
}

std::string describe(int status) {
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

std::string textOf(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(task.path() / "children");
        for (pid_t child = 0; in >> child;)
            found.push_back(child);
    }
    return found;
}

// A signal set of /proc/<pid>/status ("SigIgn", "SigCgt") as its mask; 0 when not found.
uint64_t signalSet(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1), nullptr, 16);
    }
    return 0;
}

bool inSet(uint64_t set, int signal) {
    return (set >> (signal - 1)) & 1;
}

// Starts `argv` with the environment given, output to the files, the signals in `ignored`
// ignored and every other ending signal as by default; 0 when it could not be started.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const fs::path& output, const std::vector<int>& ignored) {
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none, byDefault;
    sigemptyset(&none);
    sigemptyset(&byDefault);
    // An ignored disposition is what a child inherits; a default one is set for it.
    std::vector<std::pair<int, struct sigaction>> before;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        if (std::find(ignored.begin(), ignored.end(), signal) == ignored.end()) {
            sigaddset(&byDefault, signal);
            continue;
        }
        struct sigaction ignoring {
        }, old{};
        ignoring.sa_handler = SIG_IGN;
        ::sigaction(signal, &ignoring, &old);
        before.emplace_back(signal, old);
    }
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &byDefault);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    for (const auto& [signal, old] : before)
        ::sigaction(signal, &old, nullptr);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : 0;
}

// This process's environment with the variables given set.
std::vector<std::string> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& set) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto name = text.substr(0, text.find('='));
        if (std::none_of(set.begin(), set.end(), [&](const auto& v) { return v.first == name; }))
            entries.push_back(text);
    }
    for (const auto& [name, value] : set)
        entries.push_back(name + "=" + value);
    return entries;
}

class QuitSignalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // What the program leaves behind when it ends comes to this process, to be seen here.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        folder_ = testing_support::freshTestFolder();
        heldPage_ = folder_ / "held-page";
        ASSERT_EQ(::mkfifo(heldPage_.c_str(), 0600), 0);
        // The program's temporary files, in a folder of a short name (sockets may be made there).
        std::string temporary = (fs::temp_directory_path() / "varnel-signal-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(temporary.data()));
        temporary_ = temporary;
    }

    void TearDown() override {
        // Nothing outlives the test, whatever failed.
        if (program_ > 0 && ::waitpid(program_, nullptr, WNOHANG) == 0) {
            ::kill(program_, SIGKILL);
            endOf(program_, kEndLimit);
        }
        // The checker is this process's child only once its program has gone.
        if (checker_ > 0 && ::waitpid(checker_, nullptr, WNOHANG) == 0) {
            ::kill(checker_, SIGKILL);
            endOf(checker_, kEndLimit);
        }
        if (holder_ >= 0)
            ::close(holder_);
        std::error_code ec;
        if (!temporary_.empty())
            fs::remove_all(temporary_, ec);
    }

    // Starts the program (the quit check's scenario) with the signals given ignored, and waits
    // until its page check waits in the checker.
    void startWithHeldCheck(const std::vector<int>& ignored = {},
                            const std::string& scenario = "held") {
        const fs::path standIn = testing_support::checkerScript(
            folder_, "held-checker",
            "exec '" + std::string(VARNEL_REAL_PDF_CHECK) + "' '" + heldPage_.string() + "'\n");
        output_ = folder_ / "output";
        program_ = spawn({VARNEL_QUIT_CHECK, scenario},
                         environmentWith({{"VARNEL_PDF_CHECK", standIn.string()},
                                          {"TMPDIR", temporary_.string()}}),
                         output_, ignored);
        ASSERT_GT(program_, 0);
        int status = 0;
        bool ended = false;
        waitUntil(
            [&] {
                holder_ = ::open(heldPage_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                ended = holder_ < 0 && ::waitpid(program_, &status, WNOHANG) == program_;
                return holder_ >= 0 || ended;
            },
            kLaunchLimit);
        if (ended)
            program_ = 0;
        ASSERT_GE(holder_, 0) << "no check waited in the checker: "
                              << (ended ? describe(status) : "the program is still running") << "\n"
                              << textOf(output_);
        const fs::path real = fs::canonical(VARNEL_REAL_PDF_CHECK);
        for (const pid_t child : childrenOf(program_)) {
            std::error_code ec;
            if (fs::read_symlink("/proc/" + std::to_string(child) + "/exe", ec) == real)
                checker_ = child;
        }
        ASSERT_GT(checker_, 0) << "the program's checker was not found";
    }

    // The program's wait status once it has ended, within the limit.
    std::optional<int> programEnd() {
        const auto status = endOf(program_, kEndLimit);
        if (status)
            program_ = 0;
        return status;
    }

    fs::path folder_, heldPage_, output_, temporary_;
    pid_t program_ = 0;
    pid_t checker_ = 0;
    int holder_ = -1;
};

class EndingSignalTest : public QuitSignalTest, public ::testing::WithParamInterface<int> {};

TEST_P(EndingSignalTest, EndsTheProgramAsClosingItsWindowDoesAndLeavesNoChecker) {
    ASSERT_NO_FATAL_FAILURE(startWithHeldCheck());
    ASSERT_EQ(::kill(program_, GetParam()), 0);
    const auto status = programEnd();
    ASSERT_TRUE(status) << "the program did not end within " << kEndLimit.count() << " s";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                 << textOf(output_);
    EXPECT_NE(textOf(output_).find("quit check held: the program ended with 0"), std::string::npos)
        << "the program's usual end did not run:\n"
        << textOf(output_);
    // The program waited for its checker; one that outlived it came to this process.
    errno = 0;
    EXPECT_EQ(::waitpid(checker_, nullptr, WNOHANG), -1) << "the checker outlived the program";
    EXPECT_EQ(errno, ECHILD);
}

INSTANTIATE_TEST_SUITE_P(EachOne, EndingSignalTest, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

// As under nohup (SIGHUP) or in a background job (SIGINT): the program does not start to catch
// them; SIGTERM still ends it as closing its window does.
TEST_F(QuitSignalTest, ASignalIgnoredAtTheStartStaysIgnored) {
    ASSERT_NO_FATAL_FAILURE(startWithHeldCheck({SIGHUP, SIGINT}));
    const uint64_t ignored = signalSet(program_, "SigIgn");
    const uint64_t caught = signalSet(program_, "SigCgt");
    for (const int signal : {SIGHUP, SIGINT}) {
        EXPECT_TRUE(inSet(ignored, signal)) << sigabbrev_np(signal);
        EXPECT_FALSE(inSet(caught, signal)) << sigabbrev_np(signal);
    }
    EXPECT_TRUE(inSet(caught, SIGTERM));
    ASSERT_EQ(::kill(program_, SIGTERM), 0);
    const auto status = programEnd();
    ASSERT_TRUE(status) << "the program did not end within " << kEndLimit.count() << " s";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status);
}

// A window that stays open when the program's windows are asked to close (a full-screen video's
// view only leaves full screen) does not keep the program from ending.
TEST_F(QuitSignalTest, AWindowThatStaysOpenDoesNotHoldTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startWithHeldCheck({}, "held-window"));
    ASSERT_EQ(::kill(program_, SIGTERM), 0);
    const auto status = programEnd();
    ASSERT_TRUE(status) << "the program did not end within " << kEndLimit.count() << " s";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describe(*status) << "\n"
                                                                 << textOf(output_);
    EXPECT_NE(textOf(output_).find("the program ended with 0"), std::string::npos)
        << textOf(output_);
}

TEST_F(QuitSignalTest, AProgramKilledOutrightLeavesNoChecker) {
    ASSERT_NO_FATAL_FAILURE(startWithHeldCheck());
    ASSERT_EQ(::kill(program_, SIGKILL), 0);
    const auto status = programEnd();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL) << describe(*status);
    // Its checker is this process's child now; it must end without anyone's help.
    const auto checker = endOf(checker_, kCheckerEndLimit);
    ASSERT_TRUE(checker) << "the checker was still running " << kCheckerEndLimit.count()
                         << " s after its program was killed";
    checker_ = 0;
    EXPECT_TRUE(WIFSIGNALED(*checker) && WTERMSIG(*checker) == SIGKILL) << describe(*checker);
}

// A checker whose starter (named in its environment) is gone by the time it runs, its parent
// being another process, checks nothing: here it would wait on the pipe for ever.
TEST_F(QuitSignalTest, ACheckerWhoseStarterIsAlreadyGoneEndsAtOnce) {
    const pid_t gone = spawn({"/bin/true"}, environmentWith({}), folder_ / "true-output", {});
    ASSERT_GT(gone, 0);
    ASSERT_TRUE(endOf(gone, kCheckerEndLimit));
    checker_ = spawn({VARNEL_REAL_PDF_CHECK, heldPage_.string()},
                     environmentWith({{"VARNEL_PDF_CHECK_STARTER", std::to_string(gone)}}),
                     folder_ / "checker-output", {});
    ASSERT_GT(checker_, 0);
    const auto status = endOf(checker_, kCheckerEndLimit);
    ASSERT_TRUE(status) << "the checker was still running after " << kCheckerEndLimit.count()
                        << " s";
    checker_ = 0;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << describe(*status);
}

// The start step (scripts/start.sh) in a terminal of its own, Ctrl-C typed there while a page's
// check is under way: the terminal sends SIGINT to all of the step's processes, the checker too.
// The step ends the program as closing its window does; the checker, ended from outside, judged
// nothing: the page file stays, with no verdict kept beside it, and no checker is left. The
// program here is the quit check (the program's own start and end), put in the place of the
// program in a build folder of links to the tests' build.
TEST_F(QuitSignalTest, CtrlCInTheStartStepsTerminalKeepsThePageUnjudged) {
    const fs::path build = folder_ / "build";
    fs::create_directories(build / "src" / "app");
    fs::create_directories(build / "tools" / "demo-service");
    fs::create_symlink(VARNEL_QUIT_CHECK, build / "src" / "app" / "varnel");
    fs::create_symlink(VARNEL_DEMO_SERVICE,
                       build / "tools" / "demo-service" / "varnel-demo-service");
    const fs::path page = folder_ / "page.pdf";
    std::ofstream(page, std::ios::binary) << testing_support::filledPdf(300, 200, 0, 0, 1);
    const fs::path standIn = testing_support::checkerScript(
        folder_, "held-checker",
        "exec '" + std::string(VARNEL_REAL_PDF_CHECK) + "' '" + heldPage_.string() + "'\n");
    const std::vector<std::string> argv{"/bin/bash", VARNEL_START_SCRIPT, build.string(),
                                        "held-page", page.string()};
    const std::vector<std::string> environment =
        environmentWith({{"VARNEL_PDF_CHECK", standIn.string()},
                         {"VARNEL_HOME", (folder_ / "home").string()},
                         {"TMPDIR", temporary_.string()},
                         {"QT_QPA_PLATFORM", "offscreen"}});
    std::vector<char*> args, envp;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const auto& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    int terminal = -1;
    program_ = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (program_ == 0) {
        // As from a member's shell, whatever this process was started with (a background job of
        // a script starts with SIGINT ignored, which a child would keep).
        ::signal(SIGINT, SIG_DFL);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ASSERT_GT(program_, 0);
    ::fcntl(terminal, F_SETFL, ::fcntl(terminal, F_GETFL) | O_NONBLOCK);
    std::string said;
    const auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
            said.append(buffer, static_cast<size_t>(n));
    };

    // Under way: the checker waits on its pipe.
    bool ended = false;
    waitUntil(
        [&] {
            readTerminal();
            holder_ = ::open(heldPage_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            ended = holder_ < 0 && ::waitpid(program_, nullptr, WNOHANG) == program_;
            return holder_ >= 0 || ended;
        },
        kLaunchLimit);
    if (ended)
        program_ = 0;
    ASSERT_GE(holder_, 0) << "no check waited in the checker:\n" << said;
    const fs::path real = fs::canonical(VARNEL_REAL_PDF_CHECK);
    std::vector<pid_t> below{program_};
    for (size_t i = 0; i < below.size(); ++i) {
        for (const pid_t child : childrenOf(below[i])) {
            below.push_back(child);
            std::error_code ec;
            if (fs::read_symlink("/proc/" + std::to_string(child) + "/exe", ec) == real)
                checker_ = child;
        }
    }
    ASSERT_GT(checker_, 0) << "the checker was not found";

    ASSERT_EQ(::write(terminal, "\x03", 1), 1);  // Ctrl-C
    std::optional<int> status;
    waitUntil(
        [&] {
            readTerminal();
            status = endOf(program_, 0ms);
            return status.has_value();
        },
        kEndLimit);
    ASSERT_TRUE(status) << "the start step did not end within " << kEndLimit.count() << " s:\n"
                        << said;
    program_ = 0;
    readTerminal();
    ::close(terminal);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 130) << describe(*status);
    EXPECT_NE(said.find("quit check held-page: the program ended with 0"), std::string::npos)
        << "the program did not end as closing its window does:\n"
        << said;
    // Whatever the step left came to this process; the checker is not among them.
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    errno = 0;
    EXPECT_EQ(::kill(checker_, 0), -1) << "a checker is left";
    EXPECT_EQ(errno, ESRCH);
    checker_ = 0;
    EXPECT_TRUE(fs::exists(page)) << "the page file is gone";
    EXPECT_FALSE(fs::exists(ui::PdfPageCheck::verdictPath(page)))
        << "a verdict was kept: " << textOf(ui::PdfPageCheck::verdictPath(page));
}

}  // namespace
