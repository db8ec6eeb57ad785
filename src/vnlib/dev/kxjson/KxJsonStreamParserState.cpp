#include "vnlib/dev/kxjson/KxJsonStreamParserState.h"

#include "vnlib/dev/kxjson/KxJsonStreamParser.h"

namespace {

bool isValueStart(KxJsonTokenType token) {
    switch (token) {
        case KxJsonTokenTypeArrayStart:
        case KxJsonTokenTypeObjectStart:
        case KxJsonTokenTypeNumber:
        case KxJsonTokenTypeString:
        case KxJsonTokenTypeTrue:
        case KxJsonTokenTypeFalse:
        case KxJsonTokenTypeNull:
            return true;
        default:
            return false;
    }
}

}  // namespace

// Function-local statics: made once, on first use, safely across threads.
#define KXJSON_SHARED_INSTANCE(Name)     \
    const Name& Name::sharedInstance() { \
        static const Name instance{};    \
        return instance;                 \
    }

bool KxJsonStreamParserState::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                      KxJsonTokenType) const {
    return false;
}

void KxJsonStreamParserState::parserShouldTransitionTo(KxJsonStreamParser&, KxJsonTokenType) const {
}

KxJsonStreamParserStatus KxJsonStreamParserState::parserShouldReturn(
    const KxJsonStreamParser&) const {
    return KxJsonStreamParserWaitingForData;
}

// ---- Start ------------------------------------------------------------------------------------

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateStart)

const char* KxJsonStreamParserStateStart::name() const {
    return "before outer-most array or object";
}

bool KxJsonStreamParserStateStart::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                           KxJsonTokenType token) const {
    return token == KxJsonTokenTypeArrayStart || token == KxJsonTokenTypeObjectStart;
}

void KxJsonStreamParserStateStart::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                            KxJsonTokenType token) const {
    switch (token) {
        case KxJsonTokenTypeArrayStart:
            parser.setState(&KxJsonStreamParserStateArrayStart::sharedInstance());
            break;
        case KxJsonTokenTypeObjectStart:
            parser.setState(&KxJsonStreamParserStateObjectStart::sharedInstance());
            break;
        case KxJsonTokenTypeArrayEnd:
        case KxJsonTokenTypeObjectEnd:  // the outermost container has closed
            if (!parser.supportMultipleDocuments())
                parser.setState(&KxJsonStreamParserStateComplete::sharedInstance());
            break;
        case KxJsonTokenTypeEOF:
            break;
        default:
            parser.setState(&KxJsonStreamParserStateError::sharedInstance());
            break;
    }
}

// ---- Complete and Error -----------------------------------------------------------------------

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateComplete)

const char* KxJsonStreamParserStateComplete::name() const {
    return "after outer-most array or object";
}

KxJsonStreamParserStatus KxJsonStreamParserStateComplete::parserShouldReturn(
    const KxJsonStreamParser&) const {
    return KxJsonStreamParserComplete;
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateError)

const char* KxJsonStreamParserStateError::name() const {
    return "in error";
}

KxJsonStreamParserStatus KxJsonStreamParserStateError::parserShouldReturn(
    const KxJsonStreamParser&) const {
    return KxJsonStreamParserError;
}

// ---- Objects ----------------------------------------------------------------------------------

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateObjectStart)

const char* KxJsonStreamParserStateObjectStart::name() const {
    return "at beginning of object";
}

bool KxJsonStreamParserStateObjectStart::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                 KxJsonTokenType token) const {
    return token == KxJsonTokenTypeObjectEnd || token == KxJsonTokenTypeString;
}

void KxJsonStreamParserStateObjectStart::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                  KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateObjectGotKey::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateObjectGotKey)

const char* KxJsonStreamParserStateObjectGotKey::name() const {
    return "after object key";
}

bool KxJsonStreamParserStateObjectGotKey::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                  KxJsonTokenType token) const {
    return token == KxJsonTokenTypeKeyValueSeparator;
}

void KxJsonStreamParserStateObjectGotKey::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                   KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateObjectSeparator::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateObjectSeparator)

const char* KxJsonStreamParserStateObjectSeparator::name() const {
    return "as object value";
}

bool KxJsonStreamParserStateObjectSeparator::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                     KxJsonTokenType token) const {
    return isValueStart(token);
}

void KxJsonStreamParserStateObjectSeparator::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                      KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateObjectGotValue::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateObjectGotValue)

const char* KxJsonStreamParserStateObjectGotValue::name() const {
    return "after object value";
}

bool KxJsonStreamParserStateObjectGotValue::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                    KxJsonTokenType token) const {
    return token == KxJsonTokenTypeObjectEnd || token == KxJsonTokenTypeValueSeparator;
}

void KxJsonStreamParserStateObjectGotValue::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                     KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateObjectNeedKey::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateObjectNeedKey)

const char* KxJsonStreamParserStateObjectNeedKey::name() const {
    return "in place of object key";
}

bool KxJsonStreamParserStateObjectNeedKey::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                   KxJsonTokenType token) const {
    return token == KxJsonTokenTypeString;
}

void KxJsonStreamParserStateObjectNeedKey::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                    KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateObjectGotKey::sharedInstance());
}

// ---- Arrays -----------------------------------------------------------------------------------

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateArrayStart)

const char* KxJsonStreamParserStateArrayStart::name() const {
    return "at array start";
}

bool KxJsonStreamParserStateArrayStart::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                KxJsonTokenType token) const {
    return token == KxJsonTokenTypeArrayEnd || isValueStart(token);
}

void KxJsonStreamParserStateArrayStart::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                 KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateArrayGotValue::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateArrayGotValue)

const char* KxJsonStreamParserStateArrayGotValue::name() const {
    return "after array value";
}

bool KxJsonStreamParserStateArrayGotValue::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                   KxJsonTokenType token) const {
    return token == KxJsonTokenTypeArrayEnd || token == KxJsonTokenTypeValueSeparator;
}

void KxJsonStreamParserStateArrayGotValue::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                    KxJsonTokenType token) const {
    if (token == KxJsonTokenTypeValueSeparator)
        parser.setState(&KxJsonStreamParserStateArrayNeedValue::sharedInstance());
}

KXJSON_SHARED_INSTANCE(KxJsonStreamParserStateArrayNeedValue)

const char* KxJsonStreamParserStateArrayNeedValue::name() const {
    return "as array value";
}

bool KxJsonStreamParserStateArrayNeedValue::parserShouldAcceptToken(const KxJsonStreamParser&,
                                                                    KxJsonTokenType token) const {
    return isValueStart(token);
}

void KxJsonStreamParserStateArrayNeedValue::parserShouldTransitionTo(KxJsonStreamParser& parser,
                                                                     KxJsonTokenType) const {
    parser.setState(&KxJsonStreamParserStateArrayGotValue::sharedInstance());
}
