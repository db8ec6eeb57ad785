#include "external/ASIFormDataRequest.h"

#include <algorithm>
#include <filesystem>

#include "external/ASIHTTPRequestErrors.h"
#include "platform/crypto/Uuid.h"

PLAT_DEFINE_CLASS(ASIFormDataRequest, ASIHTTPRequest, PLAT_NO_METHODS)

ASIFormDataRequest::ASIFormDataRequest(plat::Url url) : ASIHTTPRequest(std::move(url)) {
    setRequestMethod("POST");
}

Ref<ASIFormDataRequest> ASIFormDataRequest::requestWithURL(plat::Url url) {
    return std::make_shared<ASIFormDataRequest>(std::move(url));
}

std::optional<std::vector<ASIFormDataRequest::PostValue>> ASIFormDataRequest::postData() const {
    std::lock_guard lock(listMutex_);
    return postData_;
}

void ASIFormDataRequest::setPostData(std::optional<std::vector<PostValue>> data) {
    std::lock_guard lock(listMutex_);
    postData_ = std::move(data);
}

std::optional<std::vector<ASIFormDataRequest::FileRecord>> ASIFormDataRequest::fileData() const {
    std::lock_guard lock(listMutex_);
    return fileData_;
}

void ASIFormDataRequest::setFileData(std::optional<std::vector<FileRecord>> data) {
    std::lock_guard lock(listMutex_);
    fileData_ = std::move(data);
}

// ---- Fields and attachments ---------------------------------------------------------------------

void ASIFormDataRequest::addPostValue(const plat::Value& value,
                                      const std::optional<std::string>& key) {
    if (!key)
        return;
    std::lock_guard lock(listMutex_);
    if (!postData_)
        postData_.emplace();
    postData_->push_back({*key, value.string() ? *value.string() : value.description()});
}

void ASIFormDataRequest::setPostValue(const plat::Value& value,
                                      const std::optional<std::string>& key) {
    {
        std::lock_guard lock(listMutex_);
        if (postData_ && key) {
            std::erase_if(*postData_, [&](const PostValue& v) { return v.key == *key; });
        }
    }
    addPostValue(value, key);
}

void ASIFormDataRequest::addFile(const std::string& path, const std::string& key) {
    addFile(path, std::nullopt, std::nullopt, key);
}

void ASIFormDataRequest::addFile(const std::string& path,
                                 const std::optional<std::string>& fileName,
                                 const std::optional<std::string>& contentType,
                                 const std::string& key) {
    std::error_code code;
    if (!std::filesystem::exists(path, code) || std::filesystem::is_directory(path, code)) {
        failWithError(
            ASIMakeError(ASIInternalErrorWhileBuildingRequestType, "No file exists at " + path));
    }
    const std::string name = fileName ? *fileName : std::filesystem::path(path).filename().string();
    const std::optional<std::string> type = contentType ? contentType : mimeTypeForFileAtPath(path);
    addData(path, name, type, key);
}

void ASIFormDataRequest::setFile(const std::string& path, const std::string& key) {
    setFile(path, std::nullopt, std::nullopt, key);
}

void ASIFormDataRequest::setFile(const std::string& path,
                                 const std::optional<std::string>& fileName,
                                 const std::optional<std::string>& contentType,
                                 const std::string& key) {
    {
        std::lock_guard lock(listMutex_);
        if (fileData_)
            std::erase_if(*fileData_, [&](const FileRecord& f) { return f.key == key; });
    }
    addFile(path, fileName, contentType, key);
}

void ASIFormDataRequest::addData(const plat::Bytes& data, const std::string& key) {
    addData(data, "file", std::nullopt, key);
}

void ASIFormDataRequest::addData(std::variant<plat::Bytes, std::string> data,
                                 const std::string& fileName,
                                 const std::optional<std::string>& contentType,
                                 const std::string& key) {
    std::lock_guard lock(listMutex_);
    if (!fileData_)
        fileData_.emplace();
    fileData_->push_back(
        {key, fileName, contentType.value_or("application/octet-stream"), std::move(data)});
}

void ASIFormDataRequest::setData(const plat::Bytes& data, const std::string& key) {
    setData(data, "file", std::nullopt, key);
}

void ASIFormDataRequest::setData(std::variant<plat::Bytes, std::string> data,
                                 const std::string& fileName,
                                 const std::optional<std::string>& contentType,
                                 const std::string& key) {
    {
        std::lock_guard lock(listMutex_);
        if (fileData_)
            std::erase_if(*fileData_, [&](const FileRecord& f) { return f.key == key; });
    }
    addData(std::move(data), fileName, contentType, key);
}

// ---- The body -----------------------------------------------------------------------------------

void ASIFormDataRequest::buildPostBody() {
    if (haveBuiltPostBody())
        return;
    const auto fields = postData();
    const auto files = fileData();
    if (!fields && !files) {
        ASIHTTPRequest::buildPostBody();
        return;
    }
    if (files && !files->empty())
        setShouldStreamPostDataFromDisk(true);
    if (postFormat() == ASIURLEncodedPostFormat)
        buildURLEncodedPostBody();
    else
        buildMultipartFormDataPostBody();
    ASIHTTPRequest::buildPostBody();
}

void ASIFormDataRequest::appendPostString(const std::string& text) {
    if (auto bytes = plat::TextEncoding::encode(text, stringEncoding()))
        appendPostData(plat::Bytes(bytes->begin(), bytes->end()));
}

std::string ASIFormDataRequest::encodeURL(const std::string& text) const {
    return plat::TextEncoding::percentEscape(text, stringEncoding()).value_or("");
}

void ASIFormDataRequest::buildURLEncodedPostBody() {
    const auto files = fileData();
    if (files && !files->empty()) {
        setPostFormat(ASIMultipartFormDataPostFormat);
        buildMultipartFormDataPostBody();
        return;
    }
    const std::string charset =
        plat::TextEncoding::ianaNameForEncoding(stringEncoding()).value_or("utf-8");
    addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + charset);
    const auto fields = postData().value_or(std::vector<PostValue>{});
    for (size_t i = 0; i < fields.size(); ++i) {
        appendPostString(encodeURL(fields[i].key) + "=" + encodeURL(fields[i].value) +
                         (i + 1 < fields.size() ? "&" : ""));
    }
    if (fields.empty())
        setupPostBody();
}

void ASIFormDataRequest::buildMultipartFormDataPostBody() {
    const std::string charset =
        plat::TextEncoding::ianaNameForEncoding(stringEncoding()).value_or("utf-8");
    const std::string boundary = "0xKhTmLbOuNdArY-" + plat::Uuid::createString();
    addRequestHeader("Content-Type",
                     "multipart/form-data; charset=" + charset + "; boundary=" + boundary);
    appendPostString("--" + boundary + "\r\n");
    const auto fields = postData().value_or(std::vector<PostValue>{});
    const auto files = fileData().value_or(std::vector<FileRecord>{});
    const std::string separator = "\r\n--" + boundary + "\r\n";
    for (size_t i = 0; i < fields.size(); ++i) {
        appendPostString("Content-Disposition: form-data; name=\"" + fields[i].key + "\"\r\n\r\n");
        appendPostString(fields[i].value);
        if (i + 1 < fields.size() || !files.empty())
            appendPostString(separator);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        appendPostString("Content-Disposition: form-data; name=\"" + files[i].key +
                         "\"; filename=\"" + files[i].fileName + "\"\r\n");
        appendPostString("Content-Type: " + files[i].contentType + "\r\n\r\n");
        if (const auto* path = std::get_if<std::string>(&files[i].data))
            appendPostDataFromFile(*path);
        else
            appendPostData(std::get<plat::Bytes>(files[i].data));
        if (i + 1 < files.size())
            appendPostString(separator);
    }
    appendPostString("\r\n--" + boundary + "--\r\n");
}

Ref<ASIHTTPRequest> ASIFormDataRequest::copyWithZone() const {
    auto copy = std::static_pointer_cast<ASIFormDataRequest>(ASIHTTPRequest::copyWithZone());
    copy->setPostData(postData());
    copy->setFileData(fileData());
    copy->setPostFormat(postFormat());
    copy->setStringEncoding(stringEncoding());
    copy->setRequestMethod(requestMethod());
    return copy;
}

Ref<ASIHTTPRequest> ASIFormDataRequest::makeEmptyCopy() const {
    return std::make_shared<ASIFormDataRequest>(url());
}
