#include "KxJsonTestSupport.h"

#include <algorithm>

#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAccumulator.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"

namespace kxjson_test {

Outcome parse(std::string_view text, size_t maxDepth) {
    auto parser = std::make_shared<KxJsonParser>();
    parser->setMaxDepth(maxDepth);
    Outcome outcome;
    outcome.value = parser->objectWithString(text);
    if (outcome.value.isNil())
        outcome.error = parser->error().value_or("(no error text)");
    return outcome;
}

Outcome parseInPieces(std::string_view text, std::mt19937_64& rng) {
    auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
    auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    auto parser = std::make_shared<KxJsonStreamParser>();
    parser->setDelegate(adapter);

    KxJsonStreamParserStatus status = parser->parse(std::string_view());
    size_t at = 0;
    while (at < text.size()) {
        const size_t piece = std::min<size_t>(text.size() - at, 1 + rng() % 7);
        status = parser->parse(text.substr(at, piece));
        at += piece;
    }
    Outcome outcome;
    if (status == KxJsonStreamParserComplete)
        outcome.value = accumulator->value();
    else if (status == KxJsonStreamParserWaitingForData)
        outcome.error = "Unexpected end of input";
    else
        outcome.error = parser->error().value_or("(no error text)");
    return outcome;
}

Written write(const plat::Value& value, size_t maxDepth) {
    auto writer = std::make_shared<KxJsonWriter>();
    writer->setMaxDepth(maxDepth);
    Written written;
    if (auto text = writer->stringWithObject(value)) {
        written.text = *text;
        written.ok = true;
    } else {
        written.text = writer->error().value_or("(no error text)");
    }
    return written;
}

std::string nestedArrays(size_t depth, std::string_view inner) {
    return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

}  // namespace kxjson_test
