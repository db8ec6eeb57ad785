#pragma once
// ASIFormDataRequest: a request whose body is an HTML form, built from fields and attached
// files or data when the request starts: URL-encoded ("name=a%20b&query=p%26q"), or multipart
// form data (boundary "0xKhTmLbOuNdArY-<UUID>") as soon as anything is attached. Its method
// starts as "POST", so form requests never reuse connections.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "external/ASIHTTPRequest.h"

class ASIFormDataRequest : public ASIHTTPRequest {
    PLAT_CLASS(ASIFormDataRequest)
  public:
    enum PostFormat : int32_t { ASIMultipartFormDataPostFormat = 0, ASIURLEncodedPostFormat = 1 };
    struct PostValue {
        std::string key;
        std::string value;
    };
    struct FileRecord {
        std::string key;
        std::string fileName;
        std::string contentType;
        std::variant<plat::Bytes, std::string> data;  // the bytes, or the path of a file
    };

    explicit ASIFormDataRequest(plat::Url url);
    static Ref<ASIFormDataRequest> requestWithURL(plat::Url url);

    // A key of none adds nothing; the value is sent as its text.
    void addPostValue(const plat::Value& value, const std::optional<std::string>& key);
    void setPostValue(const plat::Value& value, const std::optional<std::string>& key);
    void addFile(const std::string& path, const std::string& key);
    void addFile(const std::string& path, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    void setFile(const std::string& path, const std::string& key);
    void setFile(const std::string& path, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    void addData(const plat::Bytes& data, const std::string& key);
    void addData(std::variant<plat::Bytes, std::string> data, const std::string& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);
    void setData(const plat::Bytes& data, const std::string& key);
    void setData(std::variant<plat::Bytes, std::string> data, const std::string& fileName,
                 const std::optional<std::string>& contentType, const std::string& key);

    void buildPostBody() override;
    void buildURLEncodedPostBody();
    void buildMultipartFormDataPostBody();
    void appendPostString(const std::string& text);
    std::string encodeURL(const std::string& text) const;
    Ref<ASIHTTPRequest> copyWithZone() const override;

  protected:
    Ref<ASIHTTPRequest> makeEmptyCopy() const override;

  public:
    std::optional<std::vector<PostValue>> postData() const;
    void setPostData(std::optional<std::vector<PostValue>> data);
    std::optional<std::vector<FileRecord>> fileData() const;
    void setFileData(std::optional<std::vector<FileRecord>> data);
    int32_t postFormat() const { return postFormat_; }
    void setPostFormat(int32_t format) { postFormat_ = format; }
    plat::StringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(plat::StringEncoding encoding) { stringEncoding_ = encoding; }

  private:
    mutable std::mutex listMutex_;
    std::optional<std::vector<PostValue>> postData_;
    std::optional<std::vector<FileRecord>> fileData_;
    int32_t postFormat_ = ASIURLEncodedPostFormat;
    plat::StringEncoding stringEncoding_ = plat::NSUTF8StringEncoding;
};
