#pragma once
// plat::Protocol: a named set of method descriptions that classes may adopt, with the protocols it
// incorporates. Protocols are declared once and never change; the registry answers them by name.
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "platform/core/Selector.h"

namespace plat {

class Protocol {
  public:
    struct MethodDescription {
        Selector selector;
        std::string types;  // return type, "@:", argument types: "v@:i"
        bool required = true;
        bool instance = true;
    };

    // The description of a declared message: its selector and the type encoding of its signature.
    template <class S>
    static MethodDescription describe(const Message<S>& message, bool required = true) {
        return {message.selector(), message.typeEncoding(), required, true};
    }

    const std::string& name() const { return name_; }
    const std::vector<const Protocol*>& incorporated() const { return incorporated_; }
    const std::vector<MethodDescription>& methods() const { return methods_; }

    // Declares a protocol; the one declared before under that name when there is one.
    static const Protocol& declare(std::string name, std::vector<const Protocol*> incorporated,
                                   std::vector<MethodDescription> methods);
    // The protocol of that name; null when none is declared.
    static const Protocol* named(const std::string& name);
    // Every declared protocol, in declaration order.
    static std::vector<const Protocol*> all();

  private:
    struct Key {
        explicit Key() = default;
    };

  public:
    // Only declare() makes protocols.
    Protocol(Key, std::string name, std::vector<const Protocol*> incorporated,
             std::vector<MethodDescription> methods)
        : name_(std::move(name)),
          incorporated_(std::move(incorporated)),
          methods_(std::move(methods)) {}

  private:
    std::string name_;
    std::vector<const Protocol*> incorporated_;
    std::vector<MethodDescription> methods_;
};

}  // namespace plat
