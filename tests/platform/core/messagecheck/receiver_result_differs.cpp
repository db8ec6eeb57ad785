// A receiver that takes a narrower shelf than the message declares, and answers nothing where
// the message declares an answer.
#include "Cases.h"

class Reader : public plat::Object {
  public:
    void shouldOpen(Ref<MagazineShelf> shelf);
    static void declare(plat::ClassBuilder<Reader>& c) {
        c.method(ShelfDelegate::kShouldOpen, &Reader::shouldOpen);
    }
};
