#pragma once
// VnRowText: records whose row in a table file they write themselves, giving the very text the
// generic writer gives them (JSON of their dictionary view), without making that view. A record
// declines when it cannot (a key it does not know in the dictionary it was loaded from, no code),
// and the table then writes it the generic way.
//
// VnAppendJsonString: the compact writer's text of one string, quotes included.
#include <string>
#include <string_view>

class VnRowText {
  public:
    virtual ~VnRowText() = default;
    // Appends the record's JSON object text and answers true, or appends nothing and answers
    // false.
    virtual bool appendRowText(std::string& out) const = 0;
};

// False (nothing appended) when the writer refuses the text (bytes that are not UTF-8).
bool VnAppendJsonString(std::string& out, std::string_view text);
