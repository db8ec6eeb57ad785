#pragma once
// What every case shares: a declared message with an object and a text argument, and its
// receiver's area.
#include <string>

#include "platform/core/Object.h"
#include "platform/core/Protocol.h"

class Shelf : public plat::Object {};
class MagazineShelf : public Shelf {};

struct ShelfDelegate {
    static constexpr plat::Message<void(Ref<Shelf>, std::string)> kDidSelect{
        "shelf:didSelectTitle:"};
    static constexpr plat::Message<bool(Ref<Shelf>)> kShouldOpen{"shelfShouldOpen:"};
};
