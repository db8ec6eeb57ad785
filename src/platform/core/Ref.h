#pragma once
// Ownership vocabulary: a strong reference owns, a weak reference does not.
#include <memory>

template <class T>
using Ref = std::shared_ptr<T>;
template <class T>
using WeakRef = std::weak_ptr<T>;
