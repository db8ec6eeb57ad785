#include "vnlib/service/v2/VnObjectConverter.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnOptionalParamItem, VnInfoBase, [](auto& c) {
    c.property("Key", "T@\"NSString\",C,N", &VnOptionalParamItem::Key)
        .property("Value", "T@\"NSString\",C,N", &VnOptionalParamItem::Value);
})
PLAT_DEFINE_CLASS(VnObjectConverter, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnSelectorObjectConverter, VnObjectConverter, PLAT_NO_METHODS)

plat::Value VnObjectConverter::objectWithDictionary(const Ref<plat::Dictionary>&) {
    return plat::Value();
}

plat::Value VnSelectorObjectConverter::objectWithDictionary(
    const Ref<plat::Dictionary>& dictionary) {
    if (!converterSelector_ || !respondsToSelector(converterSelector_))
        return plat::Value();
    plat::Invocation invocation(converterSelector_, {std::any(Ref<plat::Object>(dictionary))});
    dispatch(invocation);
    const std::any& answer = invocation.returnValue();
    if (auto* value = std::any_cast<plat::Value>(&answer))
        return *value;
    if (auto* object = std::any_cast<Ref<plat::Object>>(&answer))
        return plat::Value(*object);
    return plat::Value();
}
