#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"

PLAT_DEFINE_CLASS(KxJsonStreamParserAdapter, plat::Object, PLAT_NO_METHODS)

KxJsonStreamParserAdapter::KxJsonStreamParserAdapter() {
    stack_.reserve(32);
    keyStack_.reserve(32);
}

void KxJsonStreamParserAdapter::startContainer(plat::Value container) {
    ++depth_;
    if (depth_ <= levelsToSkip_)
        return;
    array_ = container.as<plat::MutableArray>();
    dict_ = container.as<plat::MutableDictionary>();
    stack_.push_back(std::move(container));
}

void KxJsonStreamParserAdapter::endContainer(KxJsonStreamParser& parser) {
    if (depth_ > levelsToSkip_ && !stack_.empty()) {
        plat::Value finished = std::move(stack_.back());
        stack_.pop_back();
        if (stack_.empty()) {
            array_.reset();
            dict_.reset();
        } else {
            array_ = stack_.back().as<plat::MutableArray>();
            dict_ = stack_.back().as<plat::MutableDictionary>();
        }
        addValue(parser, std::move(finished));
    }
    if (depth_ > 0)
        --depth_;
}

void KxJsonStreamParserAdapter::addValue(KxJsonStreamParser& parser, plat::Value value) {
    if (array_) {
        array_->addObject(std::move(value));
        return;
    }
    if (dict_) {
        if (!keyStack_.empty()) {
            dict_->setObject(std::move(value), std::move(keyStack_.back()));
            keyStack_.pop_back();
        }
        return;
    }
    // A member of a skipped object does not need its key.
    if (!keyStack_.empty())
        keyStack_.pop_back();
    if (auto delegate = delegate_.lock()) {
        if (value.isArray())
            delegate->parserFoundArray(parser, value);
        else
            delegate->parserFoundObject(parser, value);
    }
}

void KxJsonStreamParserAdapter::parserFoundObjectStart(KxJsonStreamParser&) {
    startContainer(plat::Value(plat::MutableDictionary::make()));
}

void KxJsonStreamParserAdapter::parserFoundObjectKey(KxJsonStreamParser&, const std::string& key) {
    keyStack_.emplace_back(key);
}

void KxJsonStreamParserAdapter::parserFoundObjectEnd(KxJsonStreamParser& parser) {
    endContainer(parser);
}

void KxJsonStreamParserAdapter::parserFoundArrayStart(KxJsonStreamParser&) {
    startContainer(plat::Value(plat::MutableArray::make()));
}

void KxJsonStreamParserAdapter::parserFoundArrayEnd(KxJsonStreamParser& parser) {
    endContainer(parser);
}

void KxJsonStreamParserAdapter::parserFoundBoolean(KxJsonStreamParser& parser, bool value) {
    addValue(parser, plat::Value::boolean(value));
}

void KxJsonStreamParserAdapter::parserFoundNull(KxJsonStreamParser& parser) {
    addValue(parser, plat::Value::null());
}

void KxJsonStreamParserAdapter::parserFoundNumber(KxJsonStreamParser& parser,
                                                  const plat::Value& number) {
    addValue(parser, number);
}

void KxJsonStreamParserAdapter::parserFoundString(KxJsonStreamParser& parser,
                                                  const std::string& string) {
    addValue(parser, plat::Value(string));
}
