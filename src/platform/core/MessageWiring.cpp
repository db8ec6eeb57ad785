#include "platform/core/MessageWiring.h"

#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/core/Object.h"

namespace plat {
namespace detail {

std::atomic<bool> sentMessagesRecorded{false};

}  // namespace detail

namespace {

using Kinds = std::vector<const std::type_info*>;
// The classes of the objects a send passed (null for other arguments and null objects), and the
// class of the object it was sent to (null when unknown).
struct SentClasses {
    std::vector<const Class*> arguments;
    const Class* target = nullptr;
    auto operator<=>(const SentClasses&) const = default;
};

struct SentMessages {
    std::mutex mutex;
    std::map<std::string, std::set<Kinds>> bySelector;
    std::map<std::string, std::set<SentClasses>> classesBySelector;
};

SentMessages& sentMessages() {
    static SentMessages record;
    return record;
}

std::string kindName(const std::type_info* kind) {
    if (!kind)
        return "any value";
    if (*kind == typeid(Ref<Object>))
        return "an object";
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(kind->name(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? readable.get() : kind->name();
}

std::string kindsText(const Kinds& kinds) {
    std::string text = "(";
    for (size_t i = 0; i < kinds.size(); ++i)
        text += (i ? ", " : "") + kindName(kinds[i]);
    return text + ")";
}

// Whether a value of the sent kind unpacks as the declared kind.
bool accepts(const std::type_info* declared, const std::type_info* sent) {
    return !declared || (sent && *declared == *sent);
}

}  // namespace

namespace detail {

void recordSentMessage(const Object* target, Selector sel, const Args& args) {
    Kinds kinds;
    SentClasses classes;
    kinds.reserve(args.size());
    bool objects = false;
    for (const auto& arg : args) {
        kinds.push_back(&arg.type());
        const auto* object = std::any_cast<Ref<Object>>(&arg);
        classes.arguments.push_back(object && *object ? &(*object)->getClass() : nullptr);
        objects = objects || classes.arguments.back();
    }
    classes.target = target ? &target->getClass() : nullptr;
    auto& record = sentMessages();
    std::lock_guard lock(record.mutex);
    record.bySelector[sel.name()].insert(std::move(kinds));
    if (objects && classes.target)
        record.classesBySelector[sel.name()].insert(std::move(classes));
}

}  // namespace detail

void setRecordingSentMessages(bool on) {
    auto& record = sentMessages();
    {
        std::lock_guard lock(record.mutex);
        if (on) {
            record.bySelector.clear();
            record.classesBySelector.clear();
        }
    }
    detail::sentMessagesRecorded.store(on);
}

void recordForwardedMessage(const Object* target, const Invocation& invocation) {
    if (detail::sentMessagesRecorded.load(std::memory_order_relaxed))
        detail::recordSentMessage(target, invocation.selector(), invocation.arguments());
}

std::vector<std::string> messageWiringFaults() {
    std::map<std::string, std::set<Kinds>> sent;
    std::map<std::string, std::set<SentClasses>> sentClasses;
    {
        auto& record = sentMessages();
        std::lock_guard lock(record.mutex);
        sent = record.bySelector;
        sentClasses = record.classesBySelector;
    }
    std::vector<std::string> faults;
    const auto classes = Class::registeredClasses();
    for (const auto& [name, sends] : sent) {
        const Selector sel(name);
        // The receivers that declare the selector themselves, with what they take.
        std::vector<std::pair<const Class*, const Method*>> receivers;
        for (const Class* cls : classes) {
            const Method* method = cls->findOwnMethod(sel);
            if (method && method->declared)
                receivers.emplace_back(cls, method);
        }
        for (const auto& [cls, method] : receivers) {
            for (const Kinds& kinds : sends) {
                bool fits = kinds.size() == method->argumentKinds.size();
                for (size_t i = 0; fits && i < kinds.size(); ++i)
                    fits = accepts(method->argumentKinds[i], kinds[i]);
                if (!fits)
                    faults.push_back(name + " is sent " + kindsText(kinds) + " but " + cls->name() +
                                     " takes " + kindsText(method->argumentKinds));
            }
        }
        for (size_t i = 1; i < receivers.size(); ++i) {
            const Kinds& first = receivers.front().second->argumentKinds;
            const Kinds& other = receivers[i].second->argumentKinds;
            bool same = first.size() == other.size();
            for (size_t k = 0; same && k < first.size(); ++k)
                same = (!first[k] || !other[k]) ? first[k] == other[k] : *first[k] == *other[k];
            if (!same)
                faults.push_back(name + ": " + receivers.front().first->name() + " takes " +
                                 kindsText(first) + " but " + receivers[i].first->name() +
                                 " takes " + kindsText(other));
        }
    }
    // The objects a send passed, held against the method that received them: the one its
    // target's class finds.
    for (const auto& [name, sends] : sentClasses) {
        const Selector sel(name);
        for (const SentClasses& classes : sends) {
            const Method* method = classes.target->findMethod(sel);
            if (!method || !method->declared ||
                method->argumentClasses.size() != classes.arguments.size())
                continue;
            for (size_t i = 0; i < classes.arguments.size(); ++i) {
                const Class* given = classes.arguments[i];
                if (!given || !method->argumentClasses[i])
                    continue;
                const Class& taken = method->argumentClasses[i]();
                if (!given->isSubclassOf(taken))
                    faults.push_back(name + " is sent a " + given->name() + " as argument " +
                                     std::to_string(i + 1) + " but " + classes.target->name() +
                                     " takes a " + taken.name());
            }
        }
    }
    return faults;
}

}  // namespace plat
