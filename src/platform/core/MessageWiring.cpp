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

struct SentMessages {
    std::mutex mutex;
    std::map<std::string, std::set<Kinds>> bySelector;
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

void recordSentMessage(Selector sel, const Args& args) {
    Kinds kinds;
    kinds.reserve(args.size());
    for (const auto& arg : args)
        kinds.push_back(&arg.type());
    auto& record = sentMessages();
    std::lock_guard lock(record.mutex);
    record.bySelector[sel.name()].insert(std::move(kinds));
}

}  // namespace detail

void setRecordingSentMessages(bool on) {
    auto& record = sentMessages();
    {
        std::lock_guard lock(record.mutex);
        if (on)
            record.bySelector.clear();
    }
    detail::sentMessagesRecorded.store(on);
}

std::vector<std::string> messageWiringFaults() {
    std::map<std::string, std::set<Kinds>> sent;
    {
        auto& record = sentMessages();
        std::lock_guard lock(record.mutex);
        sent = record.bySelector;
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
    return faults;
}

}  // namespace plat
