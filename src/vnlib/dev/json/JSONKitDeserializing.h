#pragma once
// One-call JSON reading: the text (a string or data holding UTF-8) is parsed by a fresh
// JSONDecoder, whose memory is freed as soon as the call ends. The result is the top-level array
// or dictionary, or nil when the text is not acceptable JSON; the WithParseOptions forms store
// the first error through `error` when given (see JSONDecoder.h for the options and errors).
//
//   plat::Value reply = objectFromJSONString(body);
//   if (reply.isNil()) { ... }
//   Ref<plat::Error> error;
//   plat::Value table = objectFromJSONDataWithParseOptions(bytes, 0, &error);
#include <string_view>

#include "vnlib/dev/json/JSONDecoder.h"

plat::Value objectFromJSONString(std::string_view string);
plat::Value objectFromJSONStringWithParseOptions(std::string_view string,
                                                 JKParseOptionFlags parseOptionFlags,
                                                 Ref<plat::Error>* error = nullptr);
plat::Value mutableObjectFromJSONString(std::string_view string);
plat::Value mutableObjectFromJSONStringWithParseOptions(std::string_view string,
                                                        JKParseOptionFlags parseOptionFlags,
                                                        Ref<plat::Error>* error = nullptr);

plat::Value objectFromJSONData(const plat::Bytes& data);
// The same for data that the result keeps: its objects know their bytes in it (see
// JSONDecoder::objectKeepingText).
plat::Value objectFromJSONDataKeepingText(plat::Bytes data);
plat::Value objectFromJSONDataWithParseOptions(const plat::Bytes& data,
                                               JKParseOptionFlags parseOptionFlags,
                                               Ref<plat::Error>* error = nullptr);
plat::Value mutableObjectFromJSONData(const plat::Bytes& data);
plat::Value mutableObjectFromJSONDataWithParseOptions(const plat::Bytes& data,
                                                      JKParseOptionFlags parseOptionFlags,
                                                      Ref<plat::Error>* error = nullptr);
