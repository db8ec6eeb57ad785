#pragma once
// VndKeyOrderMemo: what a caller worked out for the key at each position of the dictionaries it
// went through, kept for the next dictionary. The records of one reply have the same keys in the
// same order, so that only a key that differs from the one last met at its position is worked
// out again. VndDocumentTexts: the key texts of one document met at each position, remembered by
// address, so that the dictionaries of one reply (whose reader gives a repeated key one text)
// compare their keys by address rather than byte by byte.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Object.h"

class VndDocumentTexts {
  public:
    // Remembers texts of this document from now on (none for null), and forgets the texts of
    // another. The document is held by a weak reference: while it lives no other document can
    // stand at its address, and once it is gone its texts are forgotten.
    void use(const plat::Object* document) {
        if (document == document_ && document && !alive_.expired())
            return;
        document_ = document;
        alive_ = document ? document->weak_from_this() : std::weak_ptr<const plat::Object>();
        std::fill(texts_.begin(), texts_.end(), nullptr);
    }
    // Whether this text of the document was met at that position last.
    bool isAt(size_t position, const void* text) const {
        return text && position < texts_.size() && texts_[position] == text;
    }
    void remember(size_t position, const void* text) {
        if (position >= texts_.size())
            texts_.resize(position + 1, nullptr);
        texts_[position] = document_ ? text : nullptr;
    }

  private:
    const plat::Object* document_ = nullptr;
    std::weak_ptr<const plat::Object> alive_;
    std::vector<const void*> texts_;
};

template <class T>
class VndKeyOrderMemo {
  public:
    // What workOut(key) answered for this key when it was last met at this position; asked again
    // when another key was met there last.
    template <class WorkOut>
    const T& at(size_t position, std::string_view key, WorkOut&& workOut) {
        if (position >= keys_.size()) {
            keys_.resize(position + 1);
            answers_.resize(position + 1);
        } else if (keys_[position] == key) {
            return answers_[position];
        }
        keys_[position].assign(key);
        return answers_[position] = workOut(key);
    }
    // The same for a key that is a text of the document named by useDocument(): the text met at
    // the position last answers without a compare.
    template <class WorkOut>
    const T& at(size_t position, const void* text, std::string_view key, WorkOut&& workOut) {
        if (texts_.isAt(position, text))
            return answers_[position];
        const T& answer = at(position, key, workOut);
        texts_.remember(position, text);
        return answer;
    }
    void useDocument(const plat::Object* document) { texts_.use(document); }

  private:
    std::vector<std::string> keys_;
    std::vector<T> answers_;
    VndDocumentTexts texts_;
};
