#include "vnlib/dev/kxjson/KxJsonStreamParser.h"

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(KxJsonStreamParser, plat::Object, PLAT_NO_METHODS)

KxJsonStreamParser::KxJsonStreamParser() : state_(&KxJsonStreamParserStateStart::sharedInstance()) {
    stateStack_.reserve(maxDepth_);
}

KxJsonStreamParserStatus KxJsonStreamParser::fail(std::string error) {
    error_ = std::move(error);
    state_ = &KxJsonStreamParserStateError::sharedInstance();
    return KxJsonStreamParserError;
}

KxJsonStreamParserStatus KxJsonStreamParser::parse(const uint8_t* bytes, size_t length) {
    plat::ReleasePool pool;
    tokeniser_.appendData(bytes, length);
    // Kept for the whole parse, so that events do not go astray half-way.
    const Ref<KxJsonStreamParserDelegate> delegate = delegate_.lock();

    for (;;) {
        if (state_->isError())
            return KxJsonStreamParserError;

        plat::Value token;
        const KxJsonTokenType type = tokeniser_.getToken(&token);
        if (type == KxJsonTokenTypeError)
            return fail(tokeniser_.error().value_or(std::string()));
        if (type == KxJsonTokenTypeEOF)
            return state_->parserShouldReturn(*this);
        if (!state_->parserShouldAcceptToken(*this, type))
            return fail(
                plat::format("Token '%s' not expected %s", KxJsonTokenName(type), state_->name()));

        switch (type) {
            case KxJsonTokenTypeArrayStart:
            case KxJsonTokenTypeObjectStart:
                if (stateStack_.size() >= maxDepth_) {
                    fail(plat::format("Input depth exceeds max depth of %lu",
                                      static_cast<unsigned long>(maxDepth_)));
                    break;
                }
                if (delegate) {
                    if (type == KxJsonTokenTypeArrayStart)
                        delegate->parserFoundArrayStart(*this);
                    else
                        delegate->parserFoundObjectStart(*this);
                }
                stateStack_.push_back(state_);
                state_ = type == KxJsonTokenTypeArrayStart
                             ? static_cast<const KxJsonStreamParserState*>(
                                   &KxJsonStreamParserStateArrayStart::sharedInstance())
                             : &KxJsonStreamParserStateObjectStart::sharedInstance();
                break;

            case KxJsonTokenTypeArrayEnd:
            case KxJsonTokenTypeObjectEnd:
                // Only the states inside a container accept its end, so the stack holds the
                // state that the container was opened in.
                state_ = stateStack_.back();
                stateStack_.pop_back();
                state_->parserShouldTransitionTo(*this, type);
                if (delegate) {
                    if (type == KxJsonTokenTypeArrayEnd)
                        delegate->parserFoundArrayEnd(*this);
                    else
                        delegate->parserFoundObjectEnd(*this);
                }
                break;

            case KxJsonTokenTypeValueSeparator:
            case KxJsonTokenTypeKeyValueSeparator:
                state_->parserShouldTransitionTo(*this, type);
                break;

            case KxJsonTokenTypeNumber:
                if (delegate)
                    delegate->parserFoundNumber(*this, token);
                state_->parserShouldTransitionTo(*this, type);
                break;

            case KxJsonTokenTypeString:
                if (delegate) {
                    if (state_->needKey())
                        delegate->parserFoundObjectKey(*this, *token.string());
                    else
                        delegate->parserFoundString(*this, *token.string());
                }
                state_->parserShouldTransitionTo(*this, type);
                break;

            case KxJsonTokenTypeTrue:
            case KxJsonTokenTypeFalse:
                if (delegate)
                    delegate->parserFoundBoolean(*this, type == KxJsonTokenTypeTrue);
                state_->parserShouldTransitionTo(*this, type);
                break;

            case KxJsonTokenTypeNull:
                if (delegate)
                    delegate->parserFoundNull(*this);
                state_->parserShouldTransitionTo(*this, type);
                break;

            default:
                break;
        }
    }
}
