#include "platform/core/Object.h"

#include <mutex>

#include "platform/core/Log.h"

namespace plat {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, const Class*> byName;
    // Classes built at run time live as long as the process: objects may refer to them after
    // they are unregistered.
    std::vector<std::unique_ptr<Class>> runtimeClasses;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

Class::Class(std::string name, const Class* superclass, Factory factory)
    : name_(std::move(name)), superclass_(superclass), factory_(std::move(factory)) {}

bool Class::isSubclassOf(const Class& other) const {
    for (const Class* c = this; c; c = c->superclass_) {
        if (c == &other)
            return true;
    }
    return false;
}

const Method* Class::findMethod(Selector sel) const {
    for (const Class* c = this; c; c = c->superclass_) {
        auto it = c->methods_.find(sel);
        if (it != c->methods_.end())
            return &it->second;
    }
    return nullptr;
}

void Class::addMethod(Selector sel, Method method) {
    if (methods_.find(sel) == methods_.end())
        methodOrder_.push_back(sel);
    methods_[sel] = std::move(method);
}

const Method* Class::findOwnMethod(Selector sel) const {
    auto it = methods_.find(sel);
    return it == methods_.end() ? nullptr : &it->second;
}

const Class* Class::named(const std::string& name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

std::vector<const Class*> Class::registeredClasses() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<const Class*> out;
    out.reserve(r.byName.size());
    for (const auto& [name, cls] : r.byName)
        out.push_back(cls);
    return out;
}

const Class* Class::registerRuntimeClass(std::unique_ptr<Class> cls) {
    if (!cls)
        return nullptr;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.byName.count(cls->name()))
        return nullptr;
    cls->runtime_ = true;
    const Class* registered = cls.get();
    r.runtimeClasses.push_back(std::move(cls));
    r.byName.emplace(registered->name(), registered);
    return registered;
}

bool Class::unregisterRuntimeClass(const Class& cls) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byName.find(cls.name());
    if (!cls.runtime_ || it == r.byName.end() || it->second != &cls)
        return false;
    r.byName.erase(it);
    return true;
}

namespace detail {

void registerClass(const Class& cls) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.byName.emplace(cls.name(), &cls);
}

void argumentMismatch(Selector sel, size_t index, const char* expected) {
    raise(NSInvalidArgumentException, format("argument %zu of %s is not of the expected type %s",
                                             index, sel.name().c_str(), expected));
}

void duplicateMethod(const Class& cls, Selector sel) {
    raise(NSInternalInconsistencyException,
          format("%s declares %s twice", cls.name().c_str(), sel.name().c_str()));
}

void arityMismatch(Selector sel, size_t expected, size_t given) {
    raise(NSInvalidArgumentException,
          format("%s takes %zu arguments, %zu given", sel.name().c_str(), expected, given));
}

}  // namespace detail

Class& Object::classObject() {
    static Class* cls = [] {
        static Class c("NSObject", nullptr, [] { return std::make_shared<Object>(); });
        detail::registerClass(c);
        return &c;
    }();
    return *cls;
}

bool Object::respondsToSelector(Selector sel) const {
    return getClass().findMethod(sel) != nullptr;
}

Ref<Object> Object::forwardingTargetForSelector(Selector) {
    return nullptr;
}

void Object::forwardInvocation(Invocation& invocation) {
    doesNotRecognizeSelector(invocation.selector());
}

void Object::doesNotRecognizeSelector(Selector sel) {
    raise(NSInvalidArgumentException,
          "-[" + className() + " " + sel.name() + "]: unrecognized selector sent to instance");
}

std::string Object::description() const {
    return format("<%s: %p>", className().c_str(), static_cast<const void*>(this));
}

void Object::dispatch(Invocation& invocation) {
    if (const Method* m = getClass().findMethod(invocation.selector())) {
        invocation.setReturnValue(m->call(*this, invocation.arguments()));
        return;
    }
    if (Ref<Object> target = forwardingTargetForSelector(invocation.selector());
        target && target.get() != this) {
        target->dispatch(invocation);
        return;
    }
    forwardInvocation(invocation);
}

void Invocation::invokeWithTarget(Object* target) {
    if (target)
        target->dispatch(*this);
}

bool respondsToSelector(const Object* target, Selector sel) {
    return target && target->respondsToSelector(sel);
}

}  // namespace plat
