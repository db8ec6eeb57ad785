#pragma once
// Small helpers of the HTTP stack: Base64 with optional line breaks and a lenient decoder,
// lower-case hexadecimal, a fresh UUID's text, and one process-wide operation queue.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Value.h"
#include "platform/runloop/OperationQueue.h"

// The bytes of Base64 text: characters outside the alphabet are skipped, the first "=" ends
// the text, and a last group without its padding is dropped. Nothing for no text.
plat::Bytes initWithBase64EncodedString(const std::optional<std::string>& text);
std::string base64Encoding(const plat::Bytes& data);
// A line feed after each group of four characters that reaches the line length (0: one line).
std::string base64EncodingWithLineLength(const plat::Bytes& data, uint32_t lineLength);
std::string base16Encoding(const plat::Bytes& data);
// A new random UUID as 36 upper-case characters.
std::string stringWithNewUUID();
// The one shared queue, made on first use.
Ref<plat::OperationQueue> sharedOperationQueue();
