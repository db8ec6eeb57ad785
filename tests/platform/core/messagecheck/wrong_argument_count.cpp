// A send that leaves out the declared title.
#include "Cases.h"

void sendWrong(const Ref<plat::Object>& delegate, const Ref<Shelf>& shelf) {
    plat::sendIfResponds(delegate, ShelfDelegate::kDidSelect, shelf);
}
