#pragma once
// One-call JSON writing (see JKSerializer.h for the options and errors). Arrays and dictionaries
// of any implementation are written as JSON arrays and objects; a string is written as one
// JSON string, quoted or, with includeQuotes false, as its bare escaped text. The results are
// the UTF-8 text, or nothing with the first error stored through `error` when given.
//
//   Ref<plat::Error> error;
//   std::optional<std::string> text = JSONStringWithOptions(rows, 0, &error);
//   auto pretty = JSONStringWithOptions(record, JKSerializeOptionPretty, nullptr);
//   auto withDates = JSONStringWithOptions(record, 0, [](const plat::Value& v) {
//       return v.date() ? plat::Value(v.date()->seconds) : plat::Value();
//   }, &error);
#include <optional>
#include <string>
#include <string_view>

#include "vnlib/dev/json/JKSerializer.h"

// ---- Strings ----
std::optional<plat::Bytes> JSONData(std::string_view string);
std::optional<plat::Bytes> JSONDataWithOptions(std::string_view string,
                                               JKSerializeOptionFlags serializeOptions,
                                               bool includeQuotes, Ref<plat::Error>* error);
std::optional<std::string> JSONString(std::string_view string);
std::optional<std::string> JSONStringWithOptions(std::string_view string,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 bool includeQuotes, Ref<plat::Error>* error);

// ---- Arrays ----
std::optional<plat::Bytes> JSONData(const Ref<plat::Array>& array);
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Array>& array,
                                               JKSerializeOptionFlags serializeOptions,
                                               Ref<plat::Error>* error);
// `delegate` answers `selector`, taking an unsupported value and answering its replacement.
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Array>& array,
                                               JKSerializeOptionFlags serializeOptions,
                                               Ref<plat::Object> delegate, plat::Selector selector,
                                               Ref<plat::Error>* error);
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Array>& array,
                                               JKSerializeOptionFlags serializeOptions,
                                               JKSerializeUnsupportedClassBlock block,
                                               Ref<plat::Error>* error);
std::optional<std::string> JSONString(const Ref<plat::Array>& array);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Array>& array,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 Ref<plat::Error>* error);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Array>& array,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 Ref<plat::Object> delegate,
                                                 plat::Selector selector, Ref<plat::Error>* error);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Array>& array,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 JKSerializeUnsupportedClassBlock block,
                                                 Ref<plat::Error>* error);

// ---- Dictionaries ----
std::optional<plat::Bytes> JSONData(const Ref<plat::Dictionary>& dictionary);
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Dictionary>& dictionary,
                                               JKSerializeOptionFlags serializeOptions,
                                               Ref<plat::Error>* error);
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Dictionary>& dictionary,
                                               JKSerializeOptionFlags serializeOptions,
                                               Ref<plat::Object> delegate, plat::Selector selector,
                                               Ref<plat::Error>* error);
std::optional<plat::Bytes> JSONDataWithOptions(const Ref<plat::Dictionary>& dictionary,
                                               JKSerializeOptionFlags serializeOptions,
                                               JKSerializeUnsupportedClassBlock block,
                                               Ref<plat::Error>* error);
std::optional<std::string> JSONString(const Ref<plat::Dictionary>& dictionary);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Dictionary>& dictionary,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 Ref<plat::Error>* error);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Dictionary>& dictionary,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 Ref<plat::Object> delegate,
                                                 plat::Selector selector, Ref<plat::Error>* error);
std::optional<std::string> JSONStringWithOptions(const Ref<plat::Dictionary>& dictionary,
                                                 JKSerializeOptionFlags serializeOptions,
                                                 JKSerializeUnsupportedClassBlock block,
                                                 Ref<plat::Error>* error);
