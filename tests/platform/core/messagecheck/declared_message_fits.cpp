// Sends and a receiver that fit the declarations: this must compile, or the other cases prove
// nothing.
#include "Cases.h"

class Reader : public plat::Object {
  public:
    // An object parameter may be of a base class of the declared one.
    void didSelect(const Ref<plat::Object>& shelf, const std::string& title);
    bool shouldOpen(Ref<Shelf> shelf) const;
    static void declare(plat::ClassBuilder<Reader>& c) {
        c.method(ShelfDelegate::kDidSelect, &Reader::didSelect)
            .method(ShelfDelegate::kShouldOpen, &Reader::shouldOpen);
    }
};

bool sendAll(const Ref<plat::Object>& delegate, const WeakRef<plat::Object>& weak,
             const Ref<MagazineShelf>& shelf) {
    plat::send(delegate, ShelfDelegate::kDidSelect, shelf, "ข่าว");
    plat::sendIfResponds(weak, ShelfDelegate::kDidSelect, nullptr, std::string("x"));
    const auto description = plat::Protocol::describe(ShelfDelegate::kDidSelect, false);
    return plat::send(delegate, ShelfDelegate::kShouldOpen, shelf) &&
           plat::respondsToSelector(delegate, ShelfDelegate::kShouldOpen) &&
           description.types == "v@:@@";
}
