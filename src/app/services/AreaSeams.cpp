#include "app/services/AreaSeams.h"

#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "app/services/MainWindow.h"
#include "app/services/StoreNavigation.h"
#include "platform/core/Log.h"

namespace {

// Every seam the program's areas reach each other through.
constexpr const char* kProgramSeams[] = {LibraryShelves::kSeamName, MainWindow::kSeamName,
                                         StoreNavigation::kSeamName, IssueOpening::kSeamName};

}  // namespace

AreaSeams& AreaSeams::shared() {
    static AreaSeams seams;
    return seams;
}

void AreaSeams::bindProvider(const std::string& seam, std::shared_ptr<void> provider,
                             const std::string& providerName) {
    auto found = bindings_.find(seam);
    if (found == bindings_.end() || found->second.providerName == providerName) {
        bindings_[seam] = Binding{std::move(provider), providerName};
        return;
    }
    std::string problem = "the seam " + seam + " has two providers: " + found->second.providerName +
                          " and " + providerName;
    plat::log(problem + " (the first is kept)");
    refused_.push_back(std::move(problem));
}

std::shared_ptr<void> AreaSeams::provider(const std::string& seam) const {
    const auto found = bindings_.find(seam);
    return found == bindings_.end() ? nullptr : found->second.provider;
}

std::vector<std::string> AreaSeams::problems() const {
    std::vector<std::string> out;
    for (const char* seam : kProgramSeams) {
        const auto found = bindings_.find(seam);
        if (found == bindings_.end() || !found->second.provider)
            out.push_back(std::string("the seam ") + seam + " has no provider");
    }
    out.insert(out.end(), refused_.begin(), refused_.end());
    return out;
}

void AreaSeams::requireComplete() const {
    const auto wrong = problems();
    if (wrong.empty())
        return;
    std::string text = "The program's areas are not wired:";
    for (const auto& line : wrong)
        text += "\n  " + line;
    throw SeamError(text);
}

void AreaSeams::clear() {
    bindings_.clear();
    refused_.clear();
}
