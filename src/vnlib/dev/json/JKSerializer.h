#pragma once
// JKSerializer: turns a tree of platform values (strings, numbers, the shared booleans, null,
// arrays and dictionaries of any implementation, computed views included) into UTF-8 JSON text.
// Output is compact unless JKSerializeOptionPretty asks for line breaks, two-space indentation
// and sorted keys; options escape every non-ASCII character or the solidus. A value of another
// kind (data, dates, objects) can be turned into a supported one by a formatter: a callback, or
// a delegate answering a selector. Floating-point numbers are written with "%.17g"; NaN and the
// infinities are refused. Nesting deeper than 512 levels and a collection that contains itself
// are refused. Every failure is a plat::Error of domain "JKErrorDomain", code -1.
//
// Most callers use the functions of JSONKitSerializing.h; this is the single entry they share.
//
//   Ref<plat::Error> error;
//   plat::Value text = JKSerializer::serializeObject(value, JKSerializeOptionPretty,
//                                                    JKEncodeOptionResultString, {}, {}, {},
//                                                    &error);
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"

// Serialize options (a bit mask); 0 writes compact text with the dictionaries' own key order.
using JKSerializeOptionFlags = uint64_t;
inline constexpr JKSerializeOptionFlags JKSerializeOptionPretty = 1;
inline constexpr JKSerializeOptionFlags JKSerializeOptionEscapeNonASCII = 2;
inline constexpr JKSerializeOptionFlags JKSerializeOptionEscapeSolidus = 16;

using JKEncodeOptionType = uint64_t;
// The result kind, in the low three bits: data holding the UTF-8 bytes, or a string.
inline constexpr JKEncodeOptionType JKEncodeOptionResultData = 1;
inline constexpr JKEncodeOptionType JKEncodeOptionResultString = 2;
inline constexpr JKEncodeOptionType JKEncodeOptionResultMask = 7;
// The top-level value must be an array or a dictionary.
inline constexpr JKEncodeOptionType JKEncodeOptionCollectionObj = 8;
// The top-level value must be a string.
inline constexpr JKEncodeOptionType JKEncodeOptionStringObj = 16;
// Every string is written without its quotation marks.
inline constexpr JKEncodeOptionType JKEncodeOptionStringObjTrimQuotes = 32;

// Turns an unsupported value into one that can be written; nil refuses.
using JKSerializeUnsupportedClassBlock = std::function<plat::Value(const plat::Value& object)>;

struct JKEncodeState;

class JKSerializer : public plat::Object {
    PLAT_CLASS(JKSerializer)
  public:
    JKSerializer();
    ~JKSerializer() override;

    // Writes `object`. The result is a data or string value as the encode option asks, or nil
    // with the first error stored through `error` when given. A delegate, when given, must
    // answer `selector` (a message taking the value and answering its replacement); a delegate
    // and a block cannot both be given.
    static plat::Value serializeObject(const plat::Value& object, JKSerializeOptionFlags options,
                                       JKEncodeOptionType encodeOption,
                                       JKSerializeUnsupportedClassBlock block,
                                       Ref<plat::Object> delegate, plat::Selector selector,
                                       Ref<plat::Error>* error);
    // The same, with the text as a plain string of UTF-8 bytes whatever the result kind.
    static std::optional<std::string> serializeObjectToString(
        const plat::Value& object, JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
        JKSerializeUnsupportedClassBlock block, Ref<plat::Object> delegate, plat::Selector selector,
        Ref<plat::Error>* error);

    // Frees the state of a call; nothing when there is none.
    void releaseState();

  private:
    std::optional<std::string> run(const plat::Value& object, JKSerializeOptionFlags options,
                                   JKEncodeOptionType encodeOption,
                                   JKSerializeUnsupportedClassBlock block,
                                   Ref<plat::Object> delegate, plat::Selector selector,
                                   Ref<plat::Error>* error);

    std::unique_ptr<JKEncodeState> state_;
};
