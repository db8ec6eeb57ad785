#include "JSONTestSupport.h"

#include <utility>
#include <vector>

#include "vnlib/dev/json/JKError.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"

namespace json_test {

using plat::Value;

std::string Parsed::message() const {
    return error ? error->localizedDescription() : "";
}

uint64_t Parsed::index() const {
    return error ? error->userInfo()->objectForKey(JKAtIndexKey).number()->uint64Value() : 0;
}

uint64_t Parsed::line() const {
    return error ? error->userInfo()->objectForKey(JKLineNumberKey).number()->uint64Value() : 0;
}

Parsed parse(std::string_view text, JKParseOptionFlags options) {
    Parsed out;
    out.value = objectFromJSONStringWithParseOptions(text, options, &out.error);
    return out;
}

Written write(const Value& value, JKSerializeOptionFlags options,
              JKSerializeUnsupportedClassBlock block) {
    Ref<plat::Error> error;
    auto text = JKSerializer::serializeObjectToString(value, options, JKEncodeOptionResultString,
                                                      std::move(block), {}, {}, &error);
    if (text)
        return {*text, true};
    return {error ? error->localizedDescription() : "(no error)", false};
}

namespace {

std::string randomString(std::mt19937_64& rng) {
    static const char* const fragments[] = {
        "a",    "Z", "0", " ",     "\"",     "\\", "/", "\n", "\t",           "\x01", "\x1f",
        "\x7f", "é", "ก", "หนังสือ", "นิตยสาร", "€",  "😀", "𝄞",  "\xef\xbf\xbd", "key",  "Title"};
    std::string s;
    const size_t n = rng() % 12;
    for (size_t i = 0; i < n; ++i)
        s += fragments[rng() % std::size(fragments)];
    return s;
}

}  // namespace

Value randomValue(std::mt19937_64& rng, int depth) {
    const int kind = static_cast<int>(rng() % (depth > 0 ? 10 : 7));
    switch (kind) {
        case 0:
            return Value(randomString(rng));
        case 1:
            return Value(static_cast<int64_t>(rng()));
        case 2:
            return Value(static_cast<uint64_t>(rng() | (1ull << 63)));
        case 3: {
            const double d = std::ldexp(static_cast<double>(rng() % 1000000) - 500000.0,
                                        static_cast<int>(rng() % 80) - 40);
            return Value(d);
        }
        case 4:
            return Value::boolean(rng() % 2);
        case 5:
            return Value::null();
        case 6:
            return Value(randomString(rng));
        case 7:
        case 8: {
            std::vector<Value> elements;
            const size_t n = rng() % 6;
            for (size_t i = 0; i < n; ++i)
                elements.push_back(randomValue(rng, depth - 1));
            return Value(plat::Array::make(std::move(elements)));
        }
        default: {
            std::vector<std::pair<Value, Value>> members;
            const size_t n = rng() % 6;
            for (size_t i = 0; i < n; ++i) {
                members.emplace_back(Value(randomString(rng)), randomValue(rng, depth - 1));
            }
            return Value(plat::makeDictionary(std::move(members)));
        }
    }
}

std::string sampleCatalogue() {
    return R"({"d":{"Items":[
  {"Code":"MAG-0001","MagazineName":"ชีวจิต","IssueName":"ฉบับที่ 512 มีนาคม 2567",
   "Price":59.5,"PageCount":132,"IsFree":false,"IsBorrowed":true,"ReturnDate":null,
   "SupportedMediaFormats":[0,1],"Authors":["กองบรรณาธิการ","Editorial Team"],
   "Description":"สุขภาพดี \"เริ่มต้น\" ที่บ้าน\n— Healthy living / at home",
   "FileSize":18446744073709551615,"Rating":4.25,"Offset":-12,"Tags":[]},
  {"Code":"BK-42","MagazineName":"Harry Potter","IssueName":"Book 1 \u00e9dition",
   "Price":0,"PageCount":320,"IsFree":true,"IsBorrowed":false,"ReturnDate":"07/03/2024 10:15:00",
   "SupportedMediaFormats":[3],"Authors":[],"Description":"emoji \ud83d\ude00 and tab\t",
   "FileSize":1048576,"Rating":-0.5,"Offset":0,"Tags":[{"Id":1,"Name":"ใหม่"}]}
],"Total":2,"Page":{"Index":0,"Size":20}}})";
}

}  // namespace json_test
