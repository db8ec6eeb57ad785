// A send whose first argument is a text where the message declares a shelf.
#include "Cases.h"

void sendWrong(const Ref<plat::Object>& delegate) {
    plat::send(delegate, ShelfDelegate::kDidSelect, std::string("shelf"), "title");
}
