#pragma once
// DirectoryIndexCharOfName: the index letter under which a name is filed in the browse lists, one
// UTF-16 unit. A Latin-1 name gives its upper-case initial when that is an upper-case letter
// ("éclair" → "É", "abc" → "A") and the number sign otherwise ("1984", "(x" → "#"); any other
// name gives its first Thai consonant (U+0E01 to U+0E2E), also behind a leading vowel
// ("เกม" → "ก"), and without one its upper-cased first unit.
#include <QString>

char16_t DirectoryIndexCharOfName(const QString& name);
