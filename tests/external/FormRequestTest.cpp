// Form requests: URL-encoded and multipart bodies byte for byte, files, the single-sign-on
// client's way of using them, and a 200 MB multipart upload from a file.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/resource.h>

#include <fstream>

#include "external/ASIFormDataRequest.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

namespace {

class SignOnClient : public plat::Object {
    PLAT_CLASS(SignOnClient)
  public:
    void requestCompleted(Ref<plat::Object> request) {
        auto r = std::dynamic_pointer_cast<ASIHTTPRequest>(request);
        completed.push_back(r->tag());
        text = r->responseString().value_or("");
        onMain = onMain && plat::RunLoop::isMainThread();
    }
    void requestError(Ref<plat::Object> request) {
        auto r = std::dynamic_pointer_cast<ASIHTTPRequest>(request);
        failed.push_back(r->error() ? r->error()->code() : 0);
        onMain = onMain && plat::RunLoop::isMainThread();
    }
    std::vector<int64_t> completed, failed;
    std::string text;
    bool onMain = true;
};

bool waitForUpload(const std::function<bool()>& condition, double seconds = 20) {
    plat::RunLoop::current().runUntil(condition, seconds);
    return condition();
}

std::string field(const std::string& head, const std::string& name) {
    const size_t at = head.find("\r\n" + name + ": ");
    return at == std::string::npos ? std::string()
                                   : head.substr(at + name.size() + 4,
                                                 head.find("\r\n", at + 2) - at - name.size() - 4);
}

class FormRequestTest : public ::testing::Test {
  protected:
    // Starts the form as the sign-on client does and waits for its one answer.
    void send(const Ref<ASIFormDataRequest>& form, size_t expectedHeads) {
        form->setTimeOutSeconds(30);
        form->setTag(static_cast<int64_t>(expectedHeads));
        form->setDelegate(client);
        form->setDidFinishSelector("requestCompleted:");
        form->setDidFailSelector("requestError:");
        const size_t answers = client->completed.size() + client->failed.size();
        form->startAsynchronous();
        ASSERT_TRUE(waitForUpload(
            [&] { return client->completed.size() + client->failed.size() == answers + 1; }));
    }
    RawHttpServer server{[](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("signed in")};
    }};
    Ref<SignOnClient> client = std::make_shared<SignOnClient>();
};

TEST_F(FormRequestTest, UrlEncodedAndMultipartBodiesGoOutByteForByte) {
    auto form = ASIFormDataRequest::requestWithURL(*plat::Url::parse(server.url("/login")));
    form->setRequestMethod("GET");
    form->setPostValue(plat::Value("ignored"), std::string("name"));
    form->setPostValue(plat::Value("a b"), std::string("name"));
    form->addPostValue(plat::Value("p&q"), std::string("query"));
    form->addPostValue(plat::Value(int32_t{30}), std::string("n"));
    form->addPostValue(plat::Value(int32_t{31}), std::string("n"));
    form->addPostValue(plat::Value("x"), std::nullopt);  // no key: nothing
    send(form, 1);
    ASSERT_EQ(server.heads().size(), 1U);
    EXPECT_EQ(server.heads()[0].rfind("POST /login HTTP/1.1\r\n", 0), 0U);
    EXPECT_EQ(field(server.heads()[0], "Content-Type"),
              "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(server.bodies()[0], "name=a%20b&query=p%26q&n=30&n=31");
    EXPECT_EQ(client->completed, (std::vector<int64_t>{1}));
    EXPECT_EQ(client->text, "signed in");
    EXPECT_TRUE(client->onMain);

    // Two fields as multipart; then a field and attached data.
    auto parts = ASIFormDataRequest::requestWithURL(*plat::Url::parse(server.url("/parts")));
    parts->setPostFormat(ASIFormDataRequest::ASIMultipartFormDataPostFormat);
    parts->addPostValue(plat::Value("1"), std::string("a"));
    parts->addPostValue(plat::Value("ภาษาไทย"), std::string("b"));
    send(parts, 2);
    std::string type = field(server.heads()[1], "Content-Type");
    std::string boundary = type.substr(type.find("boundary=") + 9);
    EXPECT_EQ(type, "multipart/form-data; charset=utf-8; boundary=" + boundary);
    EXPECT_EQ(boundary.rfind("0xKhTmLbOuNdArY-", 0), 0U);
    EXPECT_EQ(boundary.size(), 16U + 36U);
    EXPECT_EQ(server.bodies()[1],
              "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" +
                  boundary + "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\nภาษาไทย\r\n--" +
                  boundary + "--\r\n");

    // URL-encoded with something attached goes as multipart.
    auto attached = ASIFormDataRequest::requestWithURL(*plat::Url::parse(server.url("/file")));
    attached->addPostValue(plat::Value("v"), std::string("k"));
    attached->addData({'d', 'a', 't', 'a'}, "f");
    send(attached, 3);
    EXPECT_EQ(attached->postFormat(), ASIFormDataRequest::ASIMultipartFormDataPostFormat);
    type = field(server.heads()[2], "Content-Type");
    boundary = type.substr(type.find("boundary=") + 9);
    EXPECT_EQ(server.bodies()[2],
              "--" + boundary + "\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--" +
                  boundary +
                  "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"file\"\r\n"
                  "Content-Type: application/octet-stream\r\n\r\ndata\r\n--" +
                  boundary + "--\r\n");
    EXPECT_EQ(field(server.heads()[2], "Content-Length"),
              std::to_string(server.bodies()[2].size()));

    // A file that is not there fails the request at once with code 6.
    auto missing = ASIFormDataRequest::requestWithURL(*plat::Url::parse(server.url("/missing")));
    missing->setDelegate(client);
    missing->setDidFailSelector("requestError:");
    missing->addFile("/no/such/file.pdf", "upload");  // reported now, to the delegate set
    ASSERT_TRUE(waitForUpload([&] { return client->failed.size() == 1; }));
    missing->startAsynchronous();  // a failed request only finishes
    ASSERT_TRUE(waitForUpload([&] { return missing->isFinished(); }));
    EXPECT_EQ(client->failed, (std::vector<int64_t>{6}));
    EXPECT_EQ(missing->error()->localizedDescription(), "No file exists at /no/such/file.pdf");
    EXPECT_EQ(server.heads().size(), 3U);
    // A copy keeps the fields and the form's settings.
    auto copy = std::static_pointer_cast<ASIFormDataRequest>(parts->copyWithZone());
    EXPECT_EQ(copy->postData()->size(), 2U);
    EXPECT_EQ(copy->requestMethod(), "POST");
}

TEST_F(FormRequestTest, A200MegabyteFileGoesOutAsMultipartByteExactInBoundedMemory) {
    constexpr size_t kSize = size_t{200} << 20;
    const auto path = testing_support::freshTestFolder() / "scan.bin";
    {
        std::ofstream out(path, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        for (size_t done = 0; done < kSize; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<char>((done + i) * 40503u >> 7);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    server.setHashBodies(true);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    auto form = ASIFormDataRequest::requestWithURL(*plat::Url::parse(server.url("/big")));
    form->addPostValue(plat::Value("yes"), std::string("big"));
    form->addFile(path.string(), std::string("scan.bin"), std::string("application/pdf"), "doc");
    send(form, 1);
    ASSERT_EQ(client->completed.size(), 1U);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024);

    // The digest of the expected body, computed piece by piece.
    const std::string type = field(server.heads()[0], "Content-Type");
    const std::string boundary = type.substr(type.find("boundary=") + 9);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    const std::string head = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"big\"\r\n\r\nyes\r\n--" +
                             boundary +
                             "\r\nContent-Disposition: form-data; name=\"doc\"; "
                             "filename=\"scan.bin\"\r\nContent-Type: application/pdf\r\n\r\n";
    EVP_DigestUpdate(context, head.data(), head.size());
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        EVP_DigestUpdate(context, chunk.data(), static_cast<size_t>(in.gcount()));
    const std::string tail = "\r\n--" + boundary + "--\r\n";
    EVP_DigestUpdate(context, tail.data(), tail.size());
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, hash, &length);
    EVP_MD_CTX_free(context);
    std::string digest;
    for (unsigned int i = 0; i < length; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", hash[i]);
        digest += hex;
    }
    EXPECT_EQ(server.bodies()[0], digest);
    EXPECT_FALSE(form->postBodyFilePath());  // the temporary body file is gone
}

}  // namespace

PLAT_DEFINE_CLASS(SignOnClient, plat::Object, [](auto& c) {
    c.method("requestCompleted:", &SignOnClient::requestCompleted)
        .method("requestError:", &SignOnClient::requestError);
})
