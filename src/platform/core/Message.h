#pragma once
// plat::Message: a message declared once, with its selector text and its C++ signature, in the
// public header of the area that receives it. Senders and receivers both name the declaration:
//
//   struct SettingViewDelegate {
//       static constexpr plat::Message<void(Ref<SettingView>)> kCloseClick{"settingViewClose:"};
//   };
//   plat::sendIfResponds(delegate, SettingViewDelegate::kCloseClick, self<SettingView>());
//   c.method(SettingViewDelegate::kCloseClick, &MainWindowController::settingViewClose);
//
// A send converts its arguments to the declared types (an argument that does not convert fails
// to compile), and a receiver whose member function does not take the declared parameters fails
// to compile where it is registered. The message still travels by its selector text, so
// respondsToSelector, forwarding and renaming delegators see exactly what they saw before.
// Protocol tables are made from the same declarations (Protocol::describe).
#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/core/Selector.h"
#include "platform/core/TypeCode.h"

namespace plat {

class Object;

template <class Signature>
class Message;

template <class R, class... A>
class Message<R(A...)> {
  public:
    using Result = R;
    static constexpr size_t arity = sizeof...(A);

    constexpr explicit Message(const char* text) : text_(text) {}

    constexpr const char* text() const { return text_; }
    Selector selector() const { return Selector(text_); }
    // The type encoding of the signature: return type, receiver and selector, then each argument
    // ("v@:@@").
    std::string typeEncoding() const { return typeCode<R>() + "@:" + (typeCode<A>() + ... + ""); }

  private:
    const char* text_;
};

namespace detail {

template <class T>
struct IsMessage : std::false_type {};
template <class S>
struct IsMessage<Message<S>> : std::true_type {};

template <class T>
struct IsObjectPointer : std::false_type {};
template <class T>
struct IsObjectPointer<std::shared_ptr<T>> : std::true_type {};

// Whether a receiver's parameter of type Param takes every value of the declared type Declared.
// Object references may widen (a parameter of a base class takes the declared class); every other
// value travels as itself, so the types must be the same.
template <class Declared, class Param>
constexpr bool receiverTakes() {
    using D = std::remove_cvref_t<Declared>;
    using P = std::remove_cvref_t<Param>;
    if constexpr (std::is_same_v<D, P>)
        return true;
    else if constexpr (IsObjectPointer<D>::value && IsObjectPointer<P>::value)
        return std::is_convertible_v<D, P>;
    else
        return false;
}

template <class R, class... A, class R2, class... B>
constexpr bool receiverMatches(Message<R(A...)>*, R2 (*)(B...)) {
    if constexpr (sizeof...(A) != sizeof...(B))
        return false;
    else
        return std::is_same_v<R, R2> && (receiverTakes<A, B>() && ...);
}

}  // namespace detail

}  // namespace plat
