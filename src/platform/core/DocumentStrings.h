#pragma once
// plat::DocumentStrings: the std::strings made for the texts of one document (see DocumentText
// in Value.h), kept until the document goes. A document that places texts in its storage holds
// one and names it when it makes each text.
//
//   plat::DocumentStrings strings;  // a member of the document
//   const plat::DocumentText& text = plat::DocumentText::make(storage, "abc", 3, strings);
//   const std::string& s = text.string();  // made once, kept by `strings`
#include <forward_list>
#include <mutex>
#include <string>

#include "platform/core/Value.h"

namespace plat {

class DocumentStrings {
  public:
    DocumentStrings() = default;
    DocumentStrings(const DocumentStrings&) = delete;
    DocumentStrings& operator=(const DocumentStrings&) = delete;

  private:
    friend class DocumentText;
    // The string of a text, made unless another thread has just made it.
    const std::string& stringFor(const DocumentText& text);

    std::mutex mutex_;
    std::forward_list<std::string> strings_;
};

}  // namespace plat
