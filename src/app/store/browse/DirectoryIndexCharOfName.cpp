#include "app/store/browse/DirectoryIndexCharOfName.h"

namespace {

constexpr char16_t kThaiFirstConsonant = u'ก';  // U+0E01
constexpr char16_t kThaiLastConsonant = u'ฮ';   // U+0E2E

bool isThaiConsonant(char16_t unit) {
    return unit >= kThaiFirstConsonant && unit <= kThaiLastConsonant;
}

}  // namespace

char16_t DirectoryIndexCharOfName(const QString& name) {
    if (name.isEmpty())
        return u'#';
    const QChar first = name.toUpper().at(0);
    if (first.unicode() <= 0xFF)
        return first.category() == QChar::Letter_Uppercase ? first.unicode() : u'#';
    for (const QChar unit : name) {
        if (isThaiConsonant(unit.unicode()))
            return unit.unicode();
    }
    return first.unicode();
}
