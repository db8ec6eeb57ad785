#pragma once
// Catalogue-shaped JSON replies for the codec benchmarks: {"d":{"Items":[records...],"Total":n,
// "Page":{...}}} where each record mixes Thai and English text, integers, prices, booleans,
// nulls, dates, nested arrays and objects, in the proportions of the service's item lists.
#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// A reply of about `approximateBytes` bytes; the same seed gives the same text.
std::string catalogueReply(size_t approximateBytes, uint64_t seed = 1);

}  // namespace bench
