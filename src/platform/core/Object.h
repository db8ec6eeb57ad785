#pragma once
// The object runtime: every object of the system derives from plat::Object, knows its
// plat::Class, and can be sent messages by selector name. A class registers its methods once,
// in declaration order; respondsToSelector looks them up along the superclass chain, and a
// message that no method answers is handed to forwardingTargetForSelector and then to
// forwardInvocation, which objects override to re-target or rename messages.
//
//   class Foo : public plat::Object {
//       PLAT_CLASS(Foo)
//   public:
//       void bar(Ref<plat::Object> x);
//   };
//   PLAT_DEFINE_CLASS(Foo, plat::Object, [](auto& c) { c.method("bar:", &Foo::bar); })
//
//   plat::send(foo, "bar:", x);
#include <any>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/core/Exception.h"
#include "platform/core/Message.h"
#include "platform/core/Ref.h"
#include "platform/core/Selector.h"
#include "platform/core/TypeCode.h"

namespace plat {

class Object;
class Class;
class Invocation;

using Args = std::vector<std::any>;

// A method: a type-erased callable with its return type code ("v", "@", "i", ...).
struct Method {
    std::function<std::any(Object& self, Args& args)> call;
    std::string returnType;
    size_t arity = 0;
    // The type code of each argument, when known (methods registered from member functions).
    std::vector<std::string> argumentTypes;
    // The kind of value each argument must arrive as (see argumentKind), when known; empty for
    // methods not declared through ClassBuilder::method.
    std::vector<const std::type_info*> argumentKinds;
    // For each argument that is an object reference, the class its objects must be of (the
    // class object of the declared type, asked for only when the wiring is checked); null for
    // other arguments and for plain objects.
    std::vector<Class& (*)()> argumentClasses;
    // Declared with ClassBuilder::method (a second declaration of the selector is refused).
    bool declared = false;
};

// The kind of value in which an argument of type T travels: every object reference as
// Ref<Object>, any other type as itself; null for std::any, which takes every kind.
template <class T>
const std::type_info* argumentKind();

// Declared-property entries are attached to classes by the reflection layer; the runtime only
// stores them.
struct PropertyEntry;
// Builds declared-property entries for ClassBuilder<C>::property; defined in
// platform/core/Property.h, which a source file declaring properties includes.
template <class C>
struct PropertyRegistrar;

class Class {
  public:
    using Factory = std::function<Ref<Object>()>;

    Class(std::string name, const Class* superclass, Factory factory);
    Class(const Class&) = delete;
    Class& operator=(const Class&) = delete;

    const std::string& name() const { return name_; }
    const Class* superclass() const { return superclass_; }
    bool isSubclassOf(const Class& other) const;  // true for the class itself too

    // A new instance, or null when the class cannot be made by name (abstract classes).
    Ref<Object> make() const { return factory_ ? factory_() : nullptr; }
    bool canMake() const { return static_cast<bool>(factory_); }

    // Methods along the superclass chain; null when none.
    const Method* findMethod(Selector sel) const;
    // This class's own method; null when none.
    const Method* findOwnMethod(Selector sel) const;
    bool instancesRespondToSelector(Selector sel) const { return findMethod(sel) != nullptr; }
    // This class's own methods, in registration order.
    const std::vector<Selector>& methodOrder() const { return methodOrder_; }

    void addMethod(Selector sel, Method method);

    // Declared properties of this class only, in declaration order (filled by the reflection
    // layer).
    std::vector<std::shared_ptr<const PropertyEntry>>& declaredProperties() { return properties_; }
    const std::vector<std::shared_ptr<const PropertyEntry>>& declaredProperties() const {
        return properties_;
    }
    // Appends a declared property of this class and indexes it by name (Property.cpp).
    void addProperty(std::shared_ptr<const PropertyEntry> entry);
    // The first declared property of that name in this class, else in the nearest superclass
    // that declares it; null when none does (Property.cpp).
    std::shared_ptr<const PropertyEntry> findProperty(std::string_view name) const;
    // The same, in this class's own table only.
    std::shared_ptr<const PropertyEntry> findOwnProperty(std::string_view name) const;

    // Looks a class up by name among the classes that have been used so far.
    static const Class* named(const std::string& name);
    // Every registered class: the compiled classes used so far and those built at run time.
    static std::vector<const Class*> registeredClasses();

    // ---- Classes built while the program runs (the introspection library's class builder) ----
    // An instance variable of such a class: its offset and size in bytes within the instance.
    struct Ivar {
        std::string name;
        std::string typeEncoding;
        ptrdiff_t offset = 0;
        size_t size = 0;
    };
    // Takes a class built at run time and registers it under its name; null (the class is
    // dropped) when a class of that name is registered already.
    static const Class* registerRuntimeClass(std::unique_ptr<Class> cls);
    // Takes a class built at run time out of the registry. It stays in memory, since objects may
    // still refer to it. False for compiled classes and unknown ones.
    static bool unregisterRuntimeClass(const Class& cls);
    bool isRuntimeClass() const { return runtime_; }
    void setSuperclass(const Class* superclass) { superclass_ = superclass; }
    void setFactory(Factory factory) { factory_ = std::move(factory); }
    const std::vector<Ivar>& ivars() const { return ivars_; }
    void addIvar(Ivar ivar) { ivars_.push_back(std::move(ivar)); }
    // The size of an instance in bytes as far as it is known: 0 for compiled classes.
    size_t instanceSize() const { return instanceSize_; }
    void setInstanceSize(size_t size) { instanceSize_ = size; }
    // Names of the protocols the class adopts.
    const std::vector<std::string>& protocolNames() const { return protocols_; }
    void addProtocolName(std::string name) { protocols_.push_back(std::move(name)); }

  private:
    std::string name_;
    const Class* superclass_;
    Factory factory_;
    std::unordered_map<Selector, Method> methods_;
    std::vector<Selector> methodOrder_;
    std::vector<std::shared_ptr<const PropertyEntry>> properties_;
    std::unordered_map<std::string_view, size_t> propertyIndex_;  // name -> first entry
    size_t indexedProperties_ = 0;
    bool runtime_ = false;
    std::vector<Ivar> ivars_;
    size_t instanceSize_ = 0;
    std::vector<std::string> protocols_;
};

// A message in flight: selector, arguments and, once invoked, the return value.
class Invocation {
  public:
    Invocation(Selector sel, Args args) : selector_(sel), args_(std::move(args)) {}

    Selector selector() const { return selector_; }
    void setSelector(Selector sel) { selector_ = sel; }
    Args& arguments() { return args_; }
    const Args& arguments() const { return args_; }
    std::any& returnValue() { return returnValue_; }
    void setReturnValue(std::any value) { returnValue_ = std::move(value); }

    // Sends the message to the target (methods, then forwarding); a null target does nothing.
    void invokeWithTarget(Object* target);
    void invokeWithTarget(const Ref<Object>& target) { invokeWithTarget(target.get()); }
    // The invocation's own target, kept (owned) by the invocation; invoke() sends to it.
    const Ref<Object>& target() const { return target_; }
    void setTarget(Ref<Object> target) { target_ = std::move(target); }
    void invoke() { invokeWithTarget(target_.get()); }

  private:
    Selector selector_;
    Args args_;
    std::any returnValue_;
    Ref<Object> target_;
};

class Object : public std::enable_shared_from_this<Object> {
  public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    static constexpr const char* kClassName = "NSObject";
    static Class& classObject();
    virtual const Class& getClass() const { return classObject(); }
    const std::string& className() const { return getClass().name(); }

    // Whether the object is a list or a dictionary of the platform (the kind of a Value that
    // holds it); the two collection bases answer for every subclass.
    enum class CollectionKind : uint8_t { None, Array, Dictionary };
    virtual CollectionKind collectionKind() const noexcept { return CollectionKind::None; }

    bool isKindOfClass(const Class& cls) const { return getClass().isSubclassOf(cls); }
    template <class T>
    bool isKindOf() const {
        return isKindOfClass(T::classObject());
    }

    // Whether a message with this selector is answered (by a method, or by forwarding that the
    // object declares by overriding this).
    virtual bool respondsToSelector(Selector sel) const;
    // An object to which an unanswered message goes at once; null for none.
    virtual Ref<Object> forwardingTargetForSelector(Selector sel);
    // Receives an unanswered message; the default refuses it (doesNotRecognizeSelector).
    virtual void forwardInvocation(Invocation& invocation);
    // Raises NSInvalidArgumentException "-[Class sel]: unrecognized selector sent to instance".
    virtual void doesNotRecognizeSelector(Selector sel);

    // The text of the object for logs and "%@".
    virtual std::string description() const;

    // Delivers a message: method, forwarding target, then forwardInvocation.
    void dispatch(Invocation& invocation);

    template <class T = Object>
    Ref<T> self() {
        return std::static_pointer_cast<T>(shared_from_this());
    }
    template <class T = Object>
    Ref<const T> self() const {
        return std::static_pointer_cast<const T>(shared_from_this());
    }
    template <class T = Object>
    WeakRef<T> weakSelf() {
        return std::static_pointer_cast<T>(shared_from_this());
    }
};

// ---- Argument packing -------------------------------------------------------------------------
// Object references travel as Ref<Object> so that a method declared with Ref<Derived> accepts any
// reference whose object is of that class; a reference of another class is refused.

namespace detail {

template <class T>
struct IsObjectRef : std::false_type {};
template <class T>
struct IsObjectRef<std::shared_ptr<T>> : std::is_base_of<Object, std::remove_cv_t<T>> {};

template <class T>
std::any pack(T&& value) {
    using U = std::remove_cvref_t<T>;
    if constexpr (IsObjectRef<U>::value) {
        return std::any(std::static_pointer_cast<Object>(
            std::const_pointer_cast<std::remove_cv_t<typename U::element_type>>(value)));
    } else if constexpr (std::is_same_v<U, std::nullptr_t>) {
        return std::any(Ref<Object>());
    } else if constexpr (std::is_array_v<std::remove_reference_t<T>> ||
                         std::is_same_v<U, const char*>) {
        return std::any(std::string(value));
    } else {
        return std::any(U(std::forward<T>(value)));
    }
}

[[noreturn]] void argumentMismatch(Selector sel, size_t index, const char* expected);
[[noreturn]] void arityMismatch(Selector sel, size_t expected, size_t given);
[[noreturn]] void duplicateMethod(const Class& cls, Selector sel);

// The record of messages sent by name (MessageWiring.h): on only while a test checks the wiring.
extern std::atomic<bool> sentMessagesRecorded;
void recordSentMessage(const Object* target, Selector sel, const Args& args);

// Answers a copy: a method declared with a const reference parameter binds to it.
template <class T>
std::remove_cvref_t<T> unpack(std::any& slot, Selector sel, size_t index) {
    using U = std::remove_cvref_t<T>;
    if constexpr (IsObjectRef<U>::value) {
        using E = std::remove_cv_t<typename U::element_type>;
        if (auto* ref = std::any_cast<Ref<Object>>(&slot)) {
            if (!*ref)
                return U();
            auto cast = std::dynamic_pointer_cast<E>(*ref);
            if (!cast)
                argumentMismatch(sel, index, typeid(E).name());
            return cast;
        }
        if (!slot.has_value())
            return U();
        argumentMismatch(sel, index, typeid(E).name());
    } else if constexpr (std::is_same_v<U, std::any>) {
        return slot;
    } else {
        if (auto* v = std::any_cast<U>(&slot))
            return *v;
        argumentMismatch(sel, index, typeid(U).name());
    }
}

template <class R>
std::any packReturn(R&& value) {
    return pack(std::forward<R>(value));
}

template <class R, class... A, class F, size_t... I>
std::any callWith(F& fn, Args& args, Selector sel, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>) {
        fn(unpack<A>(args[I], sel, I)...);
        return {};
    } else {
        return packReturn(fn(unpack<A>(args[I], sel, I)...));
    }
}

}  // namespace detail

template <class T>
const std::type_info* argumentKind() {
    using U = std::remove_cvref_t<T>;
    if constexpr (detail::IsObjectRef<U>::value)
        return &typeid(Ref<Object>);
    else if constexpr (std::is_same_v<U, std::any>)
        return nullptr;
    else
        return &typeid(U);
}

// The class an argument of type T must be of, as its class object's accessor: the declared
// class of an object reference other than a plain object, else null.
template <class T>
auto argumentClass() -> Class& (*)() {
    using U = std::remove_cvref_t<T>;
    if constexpr (detail::IsObjectRef<U>::value) {
        using E = std::remove_cv_t<typename U::element_type>;
        if constexpr (!std::is_same_v<E, Object>)
            return &E::classObject;
    }
    return nullptr;
}

// Builds a class's method table at registration time.
template <class C>
class ClassBuilder {
  public:
    explicit ClassBuilder(Class& cls) : cls_(cls) {}

    template <class R, class... A>
    ClassBuilder& method(Selector sel, R (C::*fn)(A...)) {
        return add<R, A...>(sel, [fn](Object& self, A... a) -> R {
            return (static_cast<C&>(self).*fn)(std::forward<A>(a)...);
        });
    }

    template <class R, class... A>
    ClassBuilder& method(Selector sel, R (C::*fn)(A...) const) {
        return add<R, A...>(sel, [fn](Object& self, A... a) -> R {
            return (static_cast<const C&>(self).*fn)(std::forward<A>(a)...);
        });
    }

    // Registers the receiver of a declared message: the member function must take the declared
    // parameters (an object parameter may be of a base class of the declared one) and answer the
    // declared type.
    template <class S, class R, class... A>
    ClassBuilder& method(const Message<S>& message, R (C::*fn)(A...)) {
        static_assert(detail::receiverMatches(static_cast<Message<S>*>(nullptr),
                                              static_cast<R (*)(A...)>(nullptr)),
                      "the receiver's member function does not match the message's declaration");
        return method(message.selector(), fn);
    }
    template <class S, class R, class... A>
    ClassBuilder& method(const Message<S>& message, R (C::*fn)(A...) const) {
        static_assert(detail::receiverMatches(static_cast<Message<S>*>(nullptr),
                                              static_cast<R (*)(A...)>(nullptr)),
                      "the receiver's member function does not match the message's declaration");
        return method(message.selector(), fn);
    }

    // Declares a property: a name, optionally its exact attribute text, and either a data member
    // or a getter (plus a setter unless read-only). See platform/core/Property.h.
    template <class... A>
    ClassBuilder& property(std::string_view name, A&&... args) {
        PropertyRegistrar<C>::add(cls_, name, std::forward<A>(args)...);
        return *this;
    }
    // The four read-only entries carried by classes adopting the root object protocol: hash,
    // superclass, description, debugDescription.
    ClassBuilder& objectProtocolProperties() {
        PropertyRegistrar<C>::addObjectProtocol(cls_);
        return *this;
    }

    Class& cls() { return cls_; }

  private:
    template <class R, class... A, class F>
    ClassBuilder& add(Selector sel, F invoker) {
        if (const Method* earlier = cls_.findOwnMethod(sel); earlier && earlier->declared)
            detail::duplicateMethod(cls_, sel);
        Method m;
        m.returnType = typeCode<R>();
        m.arity = sizeof...(A);
        m.argumentTypes = {typeCode<A>()...};
        m.argumentKinds = {argumentKind<A>()...};
        m.argumentClasses = {argumentClass<A>()...};
        m.declared = true;
        m.call = [invoker, sel](Object& self, Args& args) mutable -> std::any {
            if (args.size() != sizeof...(A))
                detail::arityMismatch(sel, sizeof...(A), args.size());
            auto bound = [&](A... a) -> R { return invoker(self, std::forward<A>(a)...); };
            return detail::callWith<R, A...>(bound, args, sel, std::index_sequence_for<A...>{});
        };
        cls_.addMethod(sel, std::move(m));
        return *this;
    }

    Class& cls_;
};

namespace detail {
template <class C>
Class::Factory factoryFor() {
    if constexpr (std::is_default_constructible_v<C> && !std::is_abstract_v<C>) {
        return [] { return std::static_pointer_cast<Object>(std::make_shared<C>()); };
    } else {
        return {};
    }
}
void registerClass(const Class& cls);
}  // namespace detail

// ---- Sending messages -------------------------------------------------------------------------

bool respondsToSelector(const Object* target, Selector sel);
inline bool respondsToSelector(const Ref<Object>& target, Selector sel) {
    return respondsToSelector(target.get(), sel);
}

// Sends a message with the given arguments. A null target answers a default-made R.
template <class R = void, class... A>
R send(Object* target, Selector sel, A&&... args) {
    if (!target) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    }
    Invocation inv(sel, Args{detail::pack(std::forward<A>(args))...});
    if (detail::sentMessagesRecorded.load(std::memory_order_relaxed))
        detail::recordSentMessage(target, sel, inv.arguments());
    target->dispatch(inv);
    if constexpr (!std::is_void_v<R>) {
        if (!inv.returnValue().has_value())
            return R{};
        return detail::unpack<R>(inv.returnValue(), sel, 0);
    }
}

template <class R = void, class T, class... A>
R send(const Ref<T>& target, Selector sel, A&&... args) {
    return send<R>(static_cast<Object*>(target.get()), sel, std::forward<A>(args)...);
}

template <class R = void, class T, class... A>
R send(const WeakRef<T>& target, Selector sel, A&&... args) {
    return send<R>(target.lock(), sel, std::forward<A>(args)...);
}

// Sends only when the target answers the selector; answers whether it was sent.
template <class T, class... A>
bool sendIfResponds(const T& target, Selector sel, A&&... args) {
    Ref<Object> obj;
    if constexpr (requires { target.lock(); })
        obj = target.lock();
    else
        obj = target;
    if (!obj || !obj->respondsToSelector(sel))
        return false;
    send(obj, sel, std::forward<A>(args)...);
    return true;
}

// ---- Sending declared messages ----------------------------------------------------------------
// The arguments convert to the declared types before they travel, so that every sender of a
// message packs the same kinds; an argument that does not convert fails to compile.

namespace detail {
// An implicit conversion only: a functional cast would also take explicit constructors.
template <class To>
std::remove_cvref_t<To> asDeclared(std::type_identity_t<std::remove_cvref_t<To>> value) {
    return value;
}
template <class T>
Object* sendTarget(const T& target) {
    if constexpr (std::is_pointer_v<T>)
        return target;
    else
        return target.get();
}
}  // namespace detail

template <class R, class... A, class T, class... G>
R send(const T& target, const Message<R(A...)>& message, G&&... args) {
    static_assert(sizeof...(G) == sizeof...(A),
                  "the send does not give as many arguments as the message declares");
    static_assert((std::is_convertible_v<G&&, A> && ...),
                  "an argument does not convert to the type the message declares");
    if constexpr (requires { target.lock(); })
        return send<R>(target.lock().get(), message.selector(),
                       detail::asDeclared<A>(std::forward<G>(args))...);
    else
        return send<R>(detail::sendTarget(target), message.selector(),
                       detail::asDeclared<A>(std::forward<G>(args))...);
}

template <class T, class S>
bool respondsToSelector(const T& target, const Message<S>& message) {
    if constexpr (requires { target.lock(); })
        return respondsToSelector(target.lock().get(), message.selector());
    else
        return respondsToSelector(detail::sendTarget(target), message.selector());
}

// Sends only when the target answers the message; answers whether it was sent.
template <class R, class... A, class T, class... G>
bool sendIfResponds(const T& target, const Message<R(A...)>& message, G&&... args) {
    static_assert(sizeof...(G) == sizeof...(A),
                  "the send does not give as many arguments as the message declares");
    static_assert((std::is_convertible_v<G&&, A> && ...),
                  "an argument does not convert to the type the message declares");
    return sendIfResponds(target, message.selector(),
                          detail::asDeclared<A>(std::forward<G>(args))...);
}

}  // namespace plat

// Declares the class object inside a class body.
#define PLAT_CLASS(Name)                             \
  public:                                            \
    static constexpr const char* kClassName = #Name; \
    static ::plat::Class& classObject();             \
    const ::plat::Class& getClass() const override { \
        return classObject();                        \
    }                                                \
                                                     \
  private:

// Defines the class object in a source file; the last argument registers methods:
// a callable taking ::plat::ClassBuilder<Name>&.
#define PLAT_DEFINE_CLASS(Name, Super, ...)                             \
    ::plat::Class& Name::classObject() {                                \
        static ::plat::Class* cls = [] {                                \
            static ::plat::Class c(#Name, &Super::classObject(),        \
                                   ::plat::detail::factoryFor<Name>()); \
            ::plat::ClassBuilder<Name> builder(c);                      \
            __VA_ARGS__(builder);                                       \
            ::plat::detail::registerClass(c);                           \
            return &c;                                                  \
        }();                                                            \
        return *cls;                                                    \
    }

#define PLAT_NO_METHODS [](auto&) {}
