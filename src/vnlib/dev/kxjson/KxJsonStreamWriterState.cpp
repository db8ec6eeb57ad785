#include "vnlib/dev/kxjson/KxJsonStreamWriterState.h"

#include <string>

#include "vnlib/dev/kxjson/KxJsonStreamWriter.h"

// Function-local statics: made once, on first use, safely across threads.
#define KXJSON_SHARED_INSTANCE(Name)     \
    const Name& Name::sharedInstance() { \
        static const Name instance{};    \
        return instance;                 \
    }

bool KxJsonStreamWriterState::isInvalidState(KxJsonStreamWriter&) const {
    return false;
}

void KxJsonStreamWriterState::appendSeparator(KxJsonStreamWriter&) const {}

bool KxJsonStreamWriterState::expectingKey(KxJsonStreamWriter&) const {
    return false;
}

void KxJsonStreamWriterState::transitionState(KxJsonStreamWriter&) const {}

void KxJsonStreamWriterState::appendWhitespace(KxJsonStreamWriter& writer) const {
    std::string whitespace = "\n";
    whitespace.append(2 * writer.stateStack().size(), ' ');
    writer.appendBytes(whitespace);
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateStart)

void KxJsonStreamWriterStateStart::transitionState(KxJsonStreamWriter& writer) const {
    writer.setState(&KxJsonStreamWriterStateComplete::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateComplete)

bool KxJsonStreamWriterStateComplete::isInvalidState(KxJsonStreamWriter& writer) const {
    writer.setError("Stream is closed");
    return true;
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateObjectStart)

bool KxJsonStreamWriterStateObjectStart::expectingKey(KxJsonStreamWriter& writer) const {
    writer.setError("JSON object key must be string");
    return true;
}

void KxJsonStreamWriterStateObjectStart::transitionState(KxJsonStreamWriter& writer) const {
    writer.setState(&KxJsonStreamWriterStateObjectValue::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateObjectKey)

void KxJsonStreamWriterStateObjectKey::appendSeparator(KxJsonStreamWriter& writer) const {
    writer.appendBytes(",", 1);
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateObjectValue)

void KxJsonStreamWriterStateObjectValue::appendSeparator(KxJsonStreamWriter& writer) const {
    writer.appendBytes(":", 1);
}

void KxJsonStreamWriterStateObjectValue::transitionState(KxJsonStreamWriter& writer) const {
    writer.setState(&KxJsonStreamWriterStateObjectKey::sharedInstance());
}

void KxJsonStreamWriterStateObjectValue::appendWhitespace(KxJsonStreamWriter& writer) const {
    writer.appendBytes(" ", 1);
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateArrayStart)

void KxJsonStreamWriterStateArrayStart::transitionState(KxJsonStreamWriter& writer) const {
    writer.setState(&KxJsonStreamWriterStateArrayValue::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamWriterStateArrayValue)

void KxJsonStreamWriterStateArrayValue::appendSeparator(KxJsonStreamWriter& writer) const {
    writer.appendBytes(",", 1);
}
