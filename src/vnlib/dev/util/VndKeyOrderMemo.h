#pragma once
// VndKeyOrderMemo: what a caller worked out for the key at each position of the dictionaries it
// went through, kept for the next dictionary. The records of one reply have the same keys in the
// same order, so that only a key that differs from the one last met at its position is worked
// out again.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

  private:
    std::vector<std::string> keys_;
    std::vector<T> answers_;
};
