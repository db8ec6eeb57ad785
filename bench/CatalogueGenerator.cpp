#include "CatalogueGenerator.h"

#include <cstdio>
#include <iterator>

namespace bench {

namespace {

class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    size_t below(size_t n) { return static_cast<size_t>(next() % n); }
    bool chance(int percent) { return below(100) < static_cast<size_t>(percent); }

  private:
    uint64_t state_;
};

const char* const kThaiWords[] = {
    "หนังสือ",    "นิตยสาร", "ความรู้",      "สุขภาพ",     "ท่องเที่ยว", "อาหาร",   "ธุรกิจ",       "การเงิน",
    "เทคโนโลยี", "นวนิยาย", "ประวัติศาสตร์", "วิทยาศาสตร์", "เด็ก",     "ครอบครัว", "ชีวิต",        "บ้าน",
    "สวน",      "ศิลปะ",   "ดนตรี",       "กีฬา",       "ฉบับพิเศษ", "รายเดือน", "ประจำสัปดาห์", "ใหม่"};
const char* const kEnglishWords[] = {
    "library",  "reading", "digital", "edition", "health",  "travel",   "kitchen",
    "business", "finance", "science", "history", "novel",   "children", "family",
    "home",     "garden",  "music",   "sport",   "special", "monthly",  "weekly",
    "guide",    "review",  "stories", "world",   "Bangkok"};
const char* const kPublishers[] = {"อมรินทร์พริ้นติ้ง",      "Nation Books", "สำนักพิมพ์แสงดาว",
                                   "Penguin Thailand", "ซีเอ็ดยูเคชั่น",    "Bangkok Post Media"};
const char* const kCategories[] = {"สุขภาพ",  "Lifestyle", "ธุรกิจ", "Technology", "นวนิยาย",
                                   "Travel", "อาหาร",     "Kids", "การศึกษา",    "News"};

void appendWords(std::string& out, Random& rng, size_t count, bool thaiFirst) {
    for (size_t i = 0; i < count; ++i) {
        if (i)
            out += ' ';
        const bool thai = thaiFirst ? !rng.chance(25) : rng.chance(25);
        out += thai ? kThaiWords[rng.below(std::size(kThaiWords))]
                    : kEnglishWords[rng.below(std::size(kEnglishWords))];
        if (rng.chance(3))
            out += "\\\"";  // an escaped quotation mark
        if (rng.chance(2))
            out += "\\n";  // an escaped line break
        if (rng.chance(1))
            out += "\\u00e9";  // a Unicode escape
    }
}

void appendRecord(std::string& out, Random& rng, size_t index) {
    char scratch[256];
    const bool thai = rng.chance(70);
    std::snprintf(scratch, sizeof scratch, "{\"Code\":\"MAG-%06zu\",\"MagazineCode\":\"M-%zu\",",
                  index, rng.below(500));
    out += scratch;
    out += "\"MagazineName\":\"";
    appendWords(out, rng, 1 + rng.below(3), thai);
    out += "\",\"IssueName\":\"";
    appendWords(out, rng, 2 + rng.below(4), thai);
    std::snprintf(scratch, sizeof scratch, " %zu\",", 1 + rng.below(600));
    out += scratch;
    out += "\"Description\":\"";
    appendWords(out, rng, 8 + rng.below(40), thai);
    const double price = static_cast<double>(rng.below(40000)) / 100.0;
    std::snprintf(scratch, sizeof scratch,
                  "\",\"Price\":%.2f,\"RealPrice\":%.17g,\"PageCount\":%zu,\"FileSize\":%llu,"
                  "\"IsFree\":%s,\"IsBorrowed\":%s,\"IsReserved\":%s,",
                  price, price * 1.0725, 16 + rng.below(400),
                  static_cast<unsigned long long>(100000 + rng.next() % 900000000ull),
                  rng.chance(20) ? "true" : "false", rng.chance(30) ? "true" : "false",
                  rng.chance(10) ? "true" : "false");
    out += scratch;
    if (rng.chance(60)) {
        out += "\"ReturnDate\":null,";
    } else {
        std::snprintf(scratch, sizeof scratch,
                      "\"ReturnDate\":\"%02zu/%02zu/2024 %02zu:%02zu:00\",", 1 + rng.below(28),
                      1 + rng.below(12), rng.below(24), rng.below(60));
        out += scratch;
    }
    std::snprintf(scratch, sizeof scratch,
                  "\"PublishDate\":\"20%02zu/%02zu/%02zu\",\"Rating\":%.2f,\"ReviewCount\":%zu,"
                  "\"Hash\":\"%016llx%016llx\",\"Language\":\"%s\",",
                  10 + rng.below(15), 1 + rng.below(12), 1 + rng.below(28),
                  static_cast<double>(rng.below(500)) / 100.0, rng.below(2000),
                  static_cast<unsigned long long>(rng.next()),
                  static_cast<unsigned long long>(rng.next()), thai ? "th" : "en");
    out += scratch;
    out += "\"SupportedMediaFormats\":[";
    const size_t formats = 1 + rng.below(3);
    for (size_t i = 0; i < formats; ++i) {
        if (i)
            out += ',';
        out += static_cast<char>('0' + rng.below(5));
    }
    out += "],\"Authors\":[";
    const size_t authors = rng.below(4);
    for (size_t i = 0; i < authors; ++i) {
        out += i ? ",\"" : "\"";
        appendWords(out, rng, 2, thai);
        out += '"';
    }
    out += "],\"Categories\":[";
    const size_t categories = 1 + rng.below(3);
    for (size_t i = 0; i < categories; ++i) {
        const size_t c = rng.below(std::size(kCategories));
        std::snprintf(scratch, sizeof scratch, "%s{\"Id\":%zu,\"Name\":\"%s\",\"Weight\":%.3f}",
                      i ? "," : "", c + 1, kCategories[c],
                      static_cast<double>(rng.below(1000)) / 7.0);
        out += scratch;
    }
    std::snprintf(
        scratch, sizeof scratch,
        "],\"CoverUrl\":\"https://covers.varnel.example/issues/%06zu/cover_%zux%zu.jpg\","
        "\"Publisher\":{\"Code\":\"P-%zu\",\"Name\":\"%s\",\"Verified\":%s,\"Note\":null},"
        "\"Offset\":%lld}",
        index, 200 + rng.below(400), 300 + rng.below(600), rng.below(6),
        kPublishers[rng.below(std::size(kPublishers))], rng.chance(50) ? "true" : "false",
        static_cast<long long>(rng.below(2001)) - 1000);
    out += scratch;
}

}  // namespace

std::string catalogueReply(size_t approximateBytes, uint64_t seed) {
    Random rng(seed);
    std::string out;
    out.reserve(approximateBytes + 4096);
    out += "{\"d\":{\"Items\":[\n";
    size_t count = 0;
    while (out.size() < approximateBytes) {
        if (count)
            out += ",\n";
        appendRecord(out, rng, count++);
    }
    char tail[128];
    std::snprintf(tail, sizeof tail, "\n],\"Total\":%zu,\"Page\":{\"Index\":0,\"Size\":%zu}}}\n",
                  count, count);
    out += tail;
    return out;
}

}  // namespace bench
