#pragma once
// AreaSeams: the typed seams the program's areas reach each other through (the library shelves,
// the main window, store navigation, issue opening), each an abstract interface of this room,
// bound once at launch to its one provider by the composition root. Start checks that every seam
// has exactly one provider: requireComplete() throws SeamError naming each seam that has none or
// two. An area asks for a seam when it needs it; a seam without a provider answers null and the
// asker does without (as screen tests that register one area do). Main thread only.
//
//   AreaSeams::shared().bind<LibraryShelves>(makeLibraryShelves(), "library");
//   if (const auto shelves = AreaSeams::shared().get<LibraryShelves>())
//       shelves->refreshShelves(true);
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A seam with no provider, or with two.
class SeamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class AreaSeams {
  public:
    // The program's seams.
    static AreaSeams& shared();

    // Binds a seam to its provider, named for the errors. Binding the same seam again from the
    // same provider name takes the new object (every screen test registers its areas again);
    // from another name it is refused and kept as a problem: the first provider stays.
    template <class Seam>
    void bind(std::shared_ptr<Seam> provider, const std::string& providerName) {
        bindProvider(Seam::kSeamName, std::move(provider), providerName);
    }
    // Binds a seam to another provider whatever was bound (tests put doubles in).
    template <class Seam>
    void replace(std::shared_ptr<Seam> provider, const std::string& providerName) {
        bindings_[Seam::kSeamName] = Binding{std::move(provider), providerName};
    }
    template <class Seam>
    std::shared_ptr<Seam> get() const {
        return std::static_pointer_cast<Seam>(provider(Seam::kSeamName));
    }

    // What is wrong, one line each: every seam of the program without a provider, every second
    // provider refused. Empty when every seam has its one provider.
    std::vector<std::string> problems() const;
    // Throws SeamError with the problems when there are any.
    void requireComplete() const;
    // Forgets every binding and problem.
    void clear();

  private:
    struct Binding {
        std::shared_ptr<void> provider;
        std::string providerName;
    };
    void bindProvider(const std::string& seam, std::shared_ptr<void> provider,
                      const std::string& providerName);
    std::shared_ptr<void> provider(const std::string& seam) const;

    std::map<std::string, Binding> bindings_;
    std::vector<std::string> refused_;
};
