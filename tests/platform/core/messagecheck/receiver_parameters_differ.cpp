// A receiver that takes a number where the message declares a title.
#include "Cases.h"

class Reader : public plat::Object {
  public:
    void didSelect(Ref<Shelf> shelf, int title);
    static void declare(plat::ClassBuilder<Reader>& c) {
        c.method(ShelfDelegate::kDidSelect, &Reader::didSelect);
    }
};
