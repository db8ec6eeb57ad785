#pragma once
// VnInfoBase: the base of every record. A record is loaded from a dictionary (a JSON object of a
// reply) by walking its class's declared properties, and written back through a read-only
// dictionary view of itself (proxyForJson). Keys are the property names with their first letter
// upper-cased unless the class maps them otherwise; a null under a key becomes 0, an empty list,
// a default nested record or nothing, by the property's type; a missing key leaves the property
// untouched. Keys the record does not map survive a load-and-write round trip.
//
// A record keeps the dictionary it was loaded from as a compact copy that shares nothing with the
// decoded reply, so that the reply is freed once its records are loaded: its values' texts when
// the reader kept the reply's text (VndReceivedDictionary), else its entries packed
// (VndLoadedDictionary).
//
// Record classes override the hooks below and declare their properties in PLAT_DEFINE_CLASS.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/DateFormatter.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/dev/util/VndPropertyValueSource.h"

class VndObjectProxyDictionary;

class VnInfoBase : public VndObject, public VndPropertyValueSource {
    PLAT_CLASS(VnInfoBase)
  public:
    VnInfoBase();
    ~VnInfoBase() override;

    // Loads a freshly made record; nothing loads no property and keeps no dictionary.
    virtual void initWithDictionary(const Ref<plat::Dictionary>& dictionary);
    // Loads from JSON text; text that is not a JSON object loads from an empty dictionary.
    void initWithJSONString(std::string_view json);
    template <class T>
    static Ref<T> withDictionary(const Ref<plat::Dictionary>& dictionary) {
        auto record = std::make_shared<T>();
        record->initWithDictionary(dictionary);
        return record;
    }
    // One record of the class per dictionary of the list, in order (other elements are skipped).
    static Ref<plat::MutableArray> arrayFromDictionaryArray(const plat::Class& cls,
                                                            const plat::Array& list);
    // A new record of the class (which must derive from VnInfoBase) loaded from the dictionary.
    static Ref<VnInfoBase> recordOfClass(const plat::Class& cls,
                                         const Ref<plat::Dictionary>& dictionary);

    // The record's dictionary view, made with the shared write formatter and the loaded
    // dictionary; the same view on every call while anyone holds it. The record does not keep
    // its view alive: a view holds nothing but what it reads from the record, so one made again
    // once the last went shows exactly what the old one would.
    plat::Value proxyForJson() override;
    // The compact copy of the dictionary the record was loaded from (see above).
    const Ref<plat::Dictionary>& persistentDictionary() const { return persistentDictionary_; }
    std::string description() const override;

    // The server's date text "dd/MM/yyyy HH:mm:ss" in UTC; nothing when it does not match.
    static std::optional<plat::Date> dateFromShortStyleString(std::string_view text);
    // The formatter the dictionary views write dates with: "dd/MM/yyyy HH:mm:ss", GMT.
    static std::shared_ptr<const plat::DateFormatter> sharedWriteFormatter();

    // ---- Instance hooks ----
    virtual void _beforeLoadingFromDictionary() {}
    virtual void additionalLoadFromDictionary(const Ref<plat::Dictionary>&) {}
    virtual std::optional<plat::Date> dateFromString(const std::string& text) const {
        return dateFromShortStyleString(text);
    }
    // Stores the loaded value of a property listed for custom write.
    virtual void setSerializedValue(const plat::Value& value, const std::string& key);
    // The value the dictionary view writes for a property: serializedValueForProperty with the
    // property the name finds.
    plat::Value serializedValueForPropertyName(const std::string& name) const;
    // The property's value as its getter gives it (a text lent when `transient`); by key-value
    // coding for a name that is no visible property. Classes that write some properties their
    // own way override this and pass the others on.
    plat::Value serializedValueForProperty(const std::string& name,
                                           const plat::PropertyEntry* property,
                                           bool transient) const override;
    const plat::PropertyEntry* serializedProperty(const std::string& name) const override;

    // ---- Class hooks (the same answer for every record of a class) ----
    // The record class of the elements of an array property; none by default.
    virtual const plat::Class* _classForPropertyDeserialization(const std::string& name) const;
    virtual std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const;
    // The property of a key: the class's own key table first, then the key with a leading
    // capital lower-cased (when followed by a lower-case letter).
    virtual std::string _propertyNameByDictionaryKeyName(const std::string& key) const;
    virtual std::vector<std::string> coreSerializationExcludedPropertyNames() const { return {}; }
    virtual std::vector<std::string> coreDeserializationExcludedPropertyNameSet() const {
        return coreSerializationExcludedPropertyNames();
    }
    virtual std::vector<std::string> _propertyNameSetForCustomWrite() const { return {}; }

    // Loads one value into a property by key-value setting; a value of the wrong kind is
    // refused with a warning and leaves the property as it was.
    void setPropertyValue(const plat::Value& value, const std::string& name);

  private:
    Ref<plat::Dictionary> persistentDictionary_;
    std::weak_ptr<VndObjectProxyDictionary> proxyDictionary_;
};

// "9" + the text when its first UTF-16 unit is from 65 to 255, else "0" + the text; the empty
// text unchanged. Sorts Latin names after the others.
std::string nameSortingToken(std::string_view text);
