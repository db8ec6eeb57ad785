#pragma once
// The class part of the dictionary views of one class, worked out once from the first target
// of that class and kept for the process: the keys of the visible properties (less the excluded
// ones) in property order and, for targets that are value sources, the property each key reads
// and whether the compact writer may read it straight from the target.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/core/Property.h"
#include "platform/core/Value.h"

struct VndProxyKeyPlan {
    // How the compact writer reads the key's value: the general way, or straight from the
    // property of a source (a lent text, or a scalar as its getter boxes it).
    enum class Reading : uint8_t { General, Text, Scalar };

    plat::Value key;
    std::string propertyName;
    bool readable = false;  // the target answers the property name
    // The declared property the source writes for the name (VndPropertyValueSource::
    // serializedProperty); null for a name that is none.
    const plat::PropertyEntry* property = nullptr;
    Reading reading = Reading::General;
    // The key's compact text with its colon (JKMemberWriter::renderedKey); empty for a key the
    // writer refuses.
    std::string renderedKey;
};

class VndProxyClassPlan {
  public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    VndProxyClassPlan() = default;
    explicit VndProxyClassPlan(plat::Object& target);

    // The plan of the target's class.
    static const VndProxyClassPlan& of(plat::Object& target);

    // The class the plan was made for; null for the empty plan.
    const plat::Class* planClass() const { return class_; }
    const std::vector<VndProxyKeyPlan>& keys() const { return keys_; }
    // Whether targets are value sources (their keys carry the property they read).
    bool isSource() const { return isSource_; }
    // The position of a key among the class keys; npos for any other key.
    size_t indexOf(const plat::Value& key) const;
    // The plan of any text key of a target of this class, made once.
    const VndProxyKeyPlan& planFor(plat::Object& target, const plat::Value& key) const;
    // The same for a text key known to be none of the class keys.
    const VndProxyKeyPlan& otherPlanFor(plat::Object& target, const plat::Value& key) const;

  private:
    VndProxyKeyPlan makePlan(plat::Object& target, const plat::Value& key) const;

    const plat::Class* class_ = nullptr;
    bool isSource_ = false;
    std::vector<std::string> ownWay_;  // VndPropertyValueSource::propertiesSerializedTheirOwnWay
    std::vector<VndProxyKeyPlan> keys_;
    std::unordered_map<std::string, size_t> indexByKey_;
    mutable std::mutex extrasLock_;
    mutable std::unordered_map<std::string, std::unique_ptr<VndProxyKeyPlan>> extras_;
};
