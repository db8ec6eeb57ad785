#include "platform_ui/pdf/PdfPageCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/Log.h"
#include "platform/crypto/Digest.h"
#include "platform/storage/AtomicFile.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kVerdictMagic = "varnel-pdf-check 3";
constexpr size_t kMaxReason = 512;

std::atomic<uint64_t> checkersStarted{0};
std::atomic<uint64_t> identitiesTakenSoFar{0};

std::string timeText(const timespec& time) {
    return std::to_string(time.tv_sec) + "." + std::to_string(time.tv_nsec);
}

// The file as it is now: size, modification time, inode and status-change time (which no one can
// set back); nothing when it cannot be read.
std::optional<std::string> identityOf(const fs::path& page) {
    identitiesTakenSoFar.fetch_add(1, std::memory_order_relaxed);
    struct stat st {};
    if (::stat(page.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return std::to_string(st.st_size) + " " + timeText(st.st_mtim) + " " +
           std::to_string(st.st_ino) + " " + timeText(st.st_ctim);
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

// "W H" in points; false unless both are positive and finite.
bool readSize(const std::string& text, PdfPageCheck::Verdict& verdict) {
    char* end = nullptr;
    const double w = std::strtod(text.c_str(), &end);
    const double h = std::strtod(end, &end);
    if (!(std::isfinite(w) && std::isfinite(h) && w > 0 && h > 0))
        return false;
    verdict.width = w;
    verdict.height = h;
    return true;
}

// Verdicts known in this process, by file (with the file's identity then) or by the digest of
// bytes held in memory; and the checks running now, which a second asker waits for.
struct Memo {
    std::mutex mutex;
    std::condition_variable ended;
    std::unordered_map<std::string, std::pair<std::string, PdfPageCheck::Verdict>> verdicts;
    std::set<std::string> running;
};

// Kept for the rest of the process: checks run on background threads that may still be at work
// while the process exits, after its static objects are gone.
Memo& memo() {
    static Memo& memo = *std::make_unique<Memo>().release();
    return memo;
}

// The signals the checker's own fault raises: a crash while opening or drawing the page is the
// page's refusal. Any other signal came from outside and says nothing of the page.
bool crashedOnItsOwn(int signal) {
    switch (signal) {
        case SIGSEGV:
        case SIGBUS:
        case SIGILL:
        case SIGFPE:
        case SIGABRT:
        case SIGSYS:
        case SIGTRAP:
            return true;
        default:
            return false;
    }
}

constexpr std::string_view kCrashed = "the check crashed (signal ";

// A refusal an earlier version kept for a checker that a signal from outside ended: no verdict.
bool endedFromOutside(std::string_view reason) {
    if (!reason.starts_with(kCrashed))
        return false;
    return !crashedOnItsOwn(std::atoi(std::string(reason.substr(kCrashed.size())).c_str()));
}

std::optional<PdfPageCheck::Verdict> readKeptVerdict(const fs::path& page,
                                                     const std::string& identity) {
    const auto bytes = plat::AtomicFile::read(PdfPageCheck::verdictPath(page), 4096);
    if (!bytes)
        return std::nullopt;
    const auto lines = linesOf(*bytes);
    if (lines.size() < 4 || lines[0] != kVerdictMagic || lines[1] != identity)
        return std::nullopt;  // another file, another version of it, or an older record
    PdfPageCheck::Verdict kept;
    if (lines[2] == "usable" && readSize(lines[3], kept))
        return kept;
    kept.usable = false;
    kept.reason = lines[3];
    if (lines[2] == "damaged" && !endedFromOutside(kept.reason))
        return kept;
    return std::nullopt;
}

// The memo's entry, else the kept file's (then remembered); the memo's lock is held.
std::optional<PdfPageCheck::Verdict> lookUpLocked(const fs::path& page,
                                                  const std::string& identity) {
    const auto it = memo().verdicts.find(page.string());
    if (it != memo().verdicts.end() && it->second.first == identity)
        return it->second.second;
    auto kept = readKeptVerdict(page, identity);
    if (kept)
        memo().verdicts[page.string()] = {identity, *kept};
    return kept;
}

void keep(const fs::path& page, const std::string& identity, const PdfPageCheck::Verdict& v) {
    char size[64];
    std::snprintf(size, sizeof size, "%.17g %.17g", v.width, v.height);
    const std::string text =
        std::string(kVerdictMagic) + "\n" + identity + "\n" +
        (v.usable ? "usable\n" + std::string(size) + "\n" : "damaged\n" + v.reason + "\n");
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

// Our environment with this process's number for the checker, which ends at once when it finds
// another parent (and is killed when the thread that starts it ends).
std::vector<std::string> checkerEnvironment() {
    const std::string starter = std::string(PdfPageCheck::kStarterVariable) + "=";
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        if (std::string_view(*entry).rfind(starter, 0) != 0)
            entries.emplace_back(*entry);
    }
    entries.push_back(starter + std::to_string(::getpid()));
    return entries;
}

// Starts the checker on the file with its output on `out` and no other file of ours open.
std::optional<pid_t> spawnChecker(const std::string& program, const std::string& file, int out) {
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()),
                            nullptr};
    std::vector<std::string> environment = checkerEnvironment();
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
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
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
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

// The checkers running now (not reaped yet) and the checks pending, for the program's end. A
// child is killed only while it is listed here, so never after it was reaped (its number may
// then be another process's).
struct Children {
    std::mutex mutex;
    std::condition_variable changed;
    std::set<pid_t> running;
    std::set<pid_t> stopped;  // of them, those the program's end killed
    size_t pending = 0;
};

// Kept for the rest of the process, as the memo.
Children& children() {
    static Children& children = *std::make_unique<Children>().release();
    return children;
}

CheckerRun runChecker(const fs::path& page) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    ::fcntl(out[0], F_SETFL, ::fcntl(out[0], F_GETFL) | O_NONBLOCK);
    // Started on this thread, which waits for it: the child is killed if this thread ends first.
    const auto pid = spawnChecker(PdfPageCheck::program().string(), page.string(), out[1]);
    ::close(out[1]);
    if (!pid) {
        ::close(out[0]);
        return {};
    }
    ++checkersStarted;
    Children& all = children();
    {
        std::lock_guard lock(all.mutex);
        all.running.insert(*pid);
    }
    // The child bounds its own processor time; real time only guards against one that waits
    // for ever.
    const auto deadline = Clock::now() + PdfPageCheck::kWallLimit;
    std::string said;
    bool open = true, killed = false, lost = false, stopped = false;
    int status = 0;
    for (bool reaped = false; !reaped;) {
        {
            std::lock_guard lock(all.mutex);
            const pid_t ended = ::waitpid(*pid, &status, WNOHANG);
            lost = ended < 0 && errno != EINTR;  // reaped by someone else: its status is unknown
            if (!lost && ended != *pid && Clock::now() >= deadline) {
                ::kill(*pid, SIGKILL);
                while (::waitpid(*pid, &status, 0) < 0 && errno == EINTR) {
                }
                killed = true;
            }
            reaped = lost || killed || ended == *pid;
            if (reaped) {
                all.running.erase(*pid);
                stopped = all.stopped.erase(*pid) > 0;
                all.changed.notify_all();
            }
        }
        if (reaped)
            break;
        pollfd p{open ? out[0] : -1, POLLIN, 0};
        ::poll(&p, 1, open ? 50 : 5);
        if (open)
            open = drain(out[0], said);
    }
    if (open)
        drain(out[0], said);  // what it wrote just before it ended
    ::close(out[0]);
    using Verdict = PdfPageCheck::Verdict;
    if (stopped)
        return {Verdict{false, "the check was stopped"}, false};
    if (lost)
        return {Verdict{false, "the check's end could not be seen"}, false};
    if (killed) {
        return {Verdict{false, "the check did not end within " +
                                   std::to_string(PdfPageCheck::kWallLimit.count()) + " s"},
                false};
    }
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (crashedOnItsOwn(signal))
            return {Verdict{false, std::string(kCrashed) + std::to_string(signal) + ")"}};
        // Stopped at its limit of processor time: no verdict on the page (a busy machine may
        // have been the cause), so nothing is kept.
        if (signal == SIGXCPU || signal == SIGKILL)
            return {Verdict{false, "the check did not finish within " +
                                       std::to_string(PdfPageCheck::kTimeLimit.count()) +
                                       " s of processor time"},
                    false};
        // Ended from outside (Ctrl-C in its terminal, a logout or shutdown, a kill): the page
        // was not judged, so nothing is kept and the file is checked again when next found.
        return {Verdict{false,
                        "the check was ended from outside (signal " + std::to_string(signal) + ")"},
                false};
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127 || WEXITSTATUS(status) == 2)
        return {};
    // What the child had resident is not read here: posix_spawn starts it in this process's
    // memory, so its peak would count ours too. The child checks its own peak instead.
    if (WEXITSTATUS(status) == 0) {
        Verdict usable;
        if (!readSize(said, usable))
            return {Verdict{false, "the check gave no page size"}};
        return {usable};
    }
    return {Verdict{false, said.empty() ? "QtPdf cannot use the file" : oneLine(said)}};
}

}  // namespace

std::optional<std::string> PdfPageCheck::fileIdentity(const fs::path& page) {
    return identityOf(page);
}

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
    return keptVerdict(page, *identity);
}

std::optional<PdfPageCheck::Verdict> PdfPageCheck::keptVerdict(const fs::path& page,
                                                               const std::string& identity) {
    std::lock_guard lock(memo().mutex);
    return lookUpLocked(page, identity);
}

namespace {

// Runs `run` for the key unless another thread runs it now (then waits for that one and asks
// `known` again); `known` and `remember` are called with the memo's lock held.
PdfPageCheck::Verdict checkOnce(const std::string& key,
                                const std::function<std::optional<PdfPageCheck::Verdict>()>& known,
                                const std::function<CheckerRun()>& run,
                                const std::function<void(const CheckerRun&)>& remember) {
    std::unique_lock lock(memo().mutex);
    while (true) {
        if (const auto before = known())
            return *before;
        if (!memo().running.count(key))
            break;
        memo().ended.wait(lock);
    }
    memo().running.insert(key);
    lock.unlock();
    CheckerRun result;
    try {
        result = run();
    } catch (...) {
        lock.lock();
        memo().running.erase(key);
        memo().ended.notify_all();
        throw;
    }
    lock.lock();
    if (result.verdict && result.keep)
        remember(result);
    memo().running.erase(key);
    memo().ended.notify_all();
    return result.verdict ? *result.verdict : PdfPageCheck::Verdict{};
}

std::string digestKey(const char* data, size_t size) {
    const auto digest =
        plat::Digest::sha256(std::span(reinterpret_cast<const uint8_t*>(data), size));
    return "bytes:" + plat::Digest::hex(digest);
}

}  // namespace

PdfPageCheck::Verdict PdfPageCheck::check(const fs::path& page) {
    const auto identity = identityOf(page);
    if (!identity)
        return Verdict{false, "the file cannot be read"};
    return checkOnce(
        page.string(), [&] { return lookUpLocked(page, *identity); },
        [&] {
            CheckerRun run = runChecker(page);
            if (!run.verdict) {
                VND_TRACE("Error", "Cannot run %s: page %s is used unchecked", program().c_str(),
                          page.c_str());
                return run;
            }
            // Kept only when the file did not change while it was checked.
            run.keep = run.keep && identityOf(page) == identity;
            return run;
        },
        [&](const CheckerRun& run) {
            memo().verdicts[page.string()] = {*identity, *run.verdict};
            keep(page, *identity, *run.verdict);
        });
}

std::optional<PdfPageCheck::Verdict> PdfPageCheck::knownDataVerdict(const char* data, size_t size) {
    const std::string key = digestKey(data, size);
    std::lock_guard lock(memo().mutex);
    const auto it = memo().verdicts.find(key);
    if (it == memo().verdicts.end())
        return std::nullopt;
    return it->second.second;
}

PdfPageCheck::Verdict PdfPageCheck::checkData(const char* data, size_t size) {
    const std::string key = digestKey(data, size);
    return checkOnce(
        key,
        [&]() -> std::optional<Verdict> {
            const auto it = memo().verdicts.find(key);
            if (it == memo().verdicts.end())
                return std::nullopt;
            return it->second.second;
        },
        [&] {
            // The checker reads a file: the bytes go to a private one for the check.
            std::error_code ec;
            fs::path folder = fs::temp_directory_path(ec);
            std::string name = (folder / "varnel-pdf-page.XXXXXX").string();
            const int fd = ::mkstemp(name.data());
            if (fd < 0)
                return CheckerRun{};
            bool written = true;
            for (size_t done = 0; done < size && written;) {
                const ssize_t n = ::write(fd, data + done, size - done);
                if (n < 0 && errno == EINTR)
                    continue;
                written = n > 0;
                done += n > 0 ? static_cast<size_t>(n) : 0;
            }
            ::close(fd);
            CheckerRun run = written ? runChecker(name) : CheckerRun{};
            fs::remove(name, ec);
            if (!run.verdict)
                VND_TRACE("Error", "Cannot run %s: a page in memory is used unchecked",
                          program().c_str());
            return run;
        },
        [&](const CheckerRun& run) {
            memo().verdicts[key] = {std::string(), *run.verdict};
        });
}

uint64_t PdfPageCheck::identitiesTaken() {
    return identitiesTakenSoFar.load(std::memory_order_relaxed);
}

uint64_t PdfPageCheck::checksRun() {
    return checkersStarted;
}

PdfPageCheck::Pending PdfPageCheck::pending() {
    Children& all = children();
    {
        std::lock_guard lock(all.mutex);
        ++all.pending;
    }
    return Pending(&all, [](const void*) {
        Children& all = children();
        std::lock_guard lock(all.mutex);
        --all.pending;
        all.changed.notify_all();
    });
}

void PdfPageCheck::stopChecks() {
    Children& all = children();
    std::unique_lock lock(all.mutex);
    for (;;) {
        // Those that start while pending work is waited for are stopped too.
        for (const pid_t pid : all.running) {
            if (all.stopped.insert(pid).second)
                ::kill(pid, SIGKILL);
        }
        if (all.pending == 0 && all.running.empty())
            return;
        all.changed.wait_for(lock, std::chrono::milliseconds(20));
    }
}

}  // namespace ui
