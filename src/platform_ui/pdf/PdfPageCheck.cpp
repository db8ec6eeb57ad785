#include "platform_ui/pdf/PdfPageCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
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

std::optional<PdfPageCheck::Verdict> keptVerdict(const fs::path& page,
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

// Runs the checker on the page; nothing when it could not be run at all.
std::optional<PdfPageCheck::Verdict> runChecker(const fs::path& page) {
    const std::string program = PdfPageCheck::program().string();
    const std::string file = page.string();
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()),
                            nullptr};
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        ::dup2(out[1], STDOUT_FILENO);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            ::dup2(quiet, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = Clock::now() + PdfPageCheck::kTimeLimit;
    std::string said;
    bool open = true, killed = false;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            killed = true;
            break;
        }
        // Its output as it comes; once that is closed, short naps until it is gone.
        const int wait = static_cast<int>(std::min<int64_t>(left.count(), open ? 50 : 2));
        pollfd p{open ? out[0] : -1, POLLIN, 0};
        if (::poll(&p, 1, wait) > 0 && open) {
            char buffer[256];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n > 0 && said.size() < kMaxReason)
                said.append(buffer, static_cast<size_t>(n));
            open = n > 0 || (n < 0 && errno == EINTR);
        }
    }
    // What it wrote just before it ended (the write end is closed now).
    for (char buffer[256]; open && said.size() < kMaxReason;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            said.append(buffer, static_cast<size_t>(n));
        open = n > 0 || (n < 0 && errno == EINTR);
    }
    ::close(out[0]);
    if (killed) {
        return PdfPageCheck::Verdict{
            false, "the check did not finish within " +
                       std::to_string(PdfPageCheck::kTimeLimit.count() / 1000) + " s"};
    }
    if (WIFSIGNALED(status))
        return PdfPageCheck::Verdict{
            false, "the check crashed (signal " + std::to_string(WTERMSIG(status)) + ")"};
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127 || WEXITSTATUS(status) == 2)
        return std::nullopt;
    if (WEXITSTATUS(status) == 0)
        return PdfPageCheck::Verdict{};
    return PdfPageCheck::Verdict{false, said.empty() ? "QtPdf cannot use the file" : oneLine(said)};
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

PdfPageCheck::Verdict PdfPageCheck::check(const fs::path& page) {
    const auto identity = identityOf(page);
    if (!identity)
        return Verdict{false, "the file cannot be read"};
    if (auto kept = keptVerdict(page, *identity))
        return *kept;
    const auto verdict = runChecker(page);
    if (!verdict) {
        VND_TRACE("Error", "Cannot run %s: page %s is used unchecked", program().c_str(),
                  page.c_str());
        return Verdict{};
    }
    // Kept only when the file did not change while it was checked.
    if (identityOf(page) == identity)
        keep(page, *identity, *verdict);
    return *verdict;
}

}  // namespace ui
