#include "platform_ui/pdf/PdfPageCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/core/Log.h"
#include "platform/storage/AtomicFile.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kVerdictMagic = "varnel-pdf-check 1";
constexpr size_t kMaxReason = 512;

// The file as it is now: size and modification time; nothing when it cannot be read.
std::optional<std::string> identityOf(const fs::path& page) {
    struct stat st {};
    if (::stat(page.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

std::vector<std::string> linesOf(const plat::Bytes& bytes) {
    std::vector<std::string> lines(1);
    for (const uint8_t byte : bytes) {
        if (byte == '\n')
            lines.emplace_back();
        else
            lines.back().push_back(static_cast<char>(byte));
    }
    return lines;
}

// Verdicts known in this process, by file, with the file's identity then.
struct Memo {
    std::mutex mutex;
    std::unordered_map<std::string, std::pair<std::string, PdfPageCheck::Verdict>> verdicts;
};

Memo& memo() {
    static Memo memo;
    return memo;
}

void remember(const fs::path& page, const std::string& identity,
              const PdfPageCheck::Verdict& verdict) {
    std::lock_guard lock(memo().mutex);
    memo().verdicts[page.string()] = {identity, verdict};
}

std::optional<PdfPageCheck::Verdict> readKeptVerdict(const fs::path& page,
                                                     const std::string& identity) {
    const auto bytes = plat::AtomicFile::read(PdfPageCheck::verdictPath(page), 4096);
    if (!bytes)
        return std::nullopt;
    const auto lines = linesOf(*bytes);
    if (lines.size() < 3 || lines[0] != kVerdictMagic || lines[1] != identity)
        return std::nullopt;  // another file, or another version of it
    if (lines[2] == "usable")
        return PdfPageCheck::Verdict{};
    if (lines[2] == "damaged" && lines.size() >= 4)
        return PdfPageCheck::Verdict{false, lines[3]};
    return std::nullopt;
}

void keep(const fs::path& page, const std::string& identity, const PdfPageCheck::Verdict& verdict) {
    remember(page, identity, verdict);
    const std::string text = std::string(kVerdictMagic) + "\n" + identity + "\n" +
                             (verdict.usable ? "usable\n" : "damaged\n" + verdict.reason + "\n");
    if (auto error = plat::AtomicFile::write(
            PdfPageCheck::verdictPath(page),
            {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 0644))
        VND_TRACE("Error", "Cannot keep the check of %s: %s", page.c_str(),
                  error->localizedDescription().c_str());
}

// One line of text: the reason as the checker wrote it, bounded.
std::string oneLine(std::string text) {
    if (text.size() > kMaxReason)
        text.resize(kMaxReason);
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    }
    return text;
}

// Reads what the child wrote so far (the read end does not block), up to kMaxReason bytes;
// false once the pipe is closed.
bool drain(int fd, std::string& said) {
    for (char buffer[256];;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (said.size() < kMaxReason)
                said.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0;  // EAGAIN: open, nothing more yet; 0: closed
    }
}

// Starts the checker on the file with its output on `out` and no other file of ours open.
std::optional<pid_t> spawnChecker(const std::string& program, const std::string& file, int out) {
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()),
                            nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // Default signal handling and an empty mask: the processor-time signal must end it.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return std::nullopt;
    return pid;
}

struct CheckerRun {
    std::optional<PdfPageCheck::Verdict> verdict;  // nothing: the checker could not be run
    bool keep = true;
};

CheckerRun runChecker(const fs::path& page) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK);
    const auto pid = spawnChecker(PdfPageCheck::program().string(), page.string(), out[1]);
    ::close(out[1]);
    if (!pid) {
        ::close(out[0]);
        return {};
    }
    // The child bounds its own processor time; real time only guards against one that waits
    // for ever.
    const auto deadline = Clock::now() + PdfPageCheck::kWallLimit;
    std::string said;
    bool open = true, killed = false, lost = false;
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(*pid, &status, WNOHANG);
        if (ended == *pid)
            break;
        if (ended < 0 && errno != EINTR) {
            lost = true;  // reaped by someone else: its status is unknown
            break;
        }
        if (Clock::now() >= deadline) {
            ::kill(*pid, SIGKILL);
            while (::waitpid(*pid, &status, 0) < 0 && errno == EINTR) {
            }
            killed = true;
            break;
        }
        pollfd p{open ? out[0] : -1, POLLIN, 0};
        ::poll(&p, 1, open ? 50 : 5);
        if (open)
            open = drain(out[0], said);
    }
    if (open)
        drain(out[0], said);  // what it wrote just before it ended
    ::close(out[0]);
    using Verdict = PdfPageCheck::Verdict;
    if (lost)
        return {Verdict{false, "the check's end could not be seen"}, false};
    if (killed) {
        return {Verdict{false, "the check did not end within " +
                                   std::to_string(PdfPageCheck::kWallLimit.count()) + " s"},
                false};
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGXCPU || signal == SIGKILL)
            return {Verdict{false, "the check did not finish within " +
                                       std::to_string(PdfPageCheck::kTimeLimit.count()) +
                                       " s of processor time"}};
        return {Verdict{false, "the check crashed (signal " + std::to_string(signal) + ")"}};
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127 || WEXITSTATUS(status) == 2)
        return {};
    // What the child had resident is not read here: posix_spawn starts it in this process's
    // memory, so its peak would count ours too. The child checks its own peak instead.
    if (WEXITSTATUS(status) == 0)
        return {Verdict{}};
    return {Verdict{false, said.empty() ? "QtPdf cannot use the file" : oneLine(said)}};
}

}  // namespace

fs::path PdfPageCheck::verdictPath(const fs::path& page) {
    fs::path kept = page;
    kept += ".pdfcheck";
    return kept;
}

fs::path PdfPageCheck::program() {
    if (const char* chosen = std::getenv("VARNEL_PDF_CHECK"); chosen && *chosen)
        return chosen;
    std::error_code ec;
    const fs::path beside =
        fs::read_symlink("/proc/self/exe", ec).parent_path() / "varnel-pdf-check";
    if (!ec && ::access(beside.c_str(), X_OK) == 0)
        return beside;
    return VARNEL_PDF_CHECK_BUILT;
}

std::optional<PdfPageCheck::Verdict> PdfPageCheck::keptVerdict(const fs::path& page) {
    const auto identity = identityOf(page);
    if (!identity)
        return Verdict{false, "the file cannot be read"};
    {
        std::lock_guard lock(memo().mutex);
        const auto it = memo().verdicts.find(page.string());
        if (it != memo().verdicts.end() && it->second.first == *identity)
            return it->second.second;
    }
    auto kept = readKeptVerdict(page, *identity);
    if (kept)
        remember(page, *identity, *kept);
    return kept;
}

PdfPageCheck::Verdict PdfPageCheck::check(const fs::path& page) {
    if (auto kept = keptVerdict(page))
        return *kept;
    const auto identity = identityOf(page);
    const CheckerRun run = runChecker(page);
    if (!run.verdict) {
        VND_TRACE("Error", "Cannot run %s: page %s is used unchecked", program().c_str(),
                  page.c_str());
        return Verdict{};
    }
    // Kept only when the file did not change while it was checked.
    if (run.keep && identity && identityOf(page) == identity)
        keep(page, *identity, *run.verdict);
    return *run.verdict;
}

}  // namespace ui
