#include <gtest/gtest.h>

#include "platform/net/HttpUrlResponse.h"
#include "platform/net/UrlRequest.h"

using plat::HttpHeaderFields;
using plat::HttpUrlResponse;
using plat::Url;
using plat::UrlRequest;

TEST(UrlRequest, LaterFieldsReplaceEarlierOnesOfAnyCase) {
    UrlRequest request(Url::parse("http://h/s").value());
    EXPECT_EQ(request.httpMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    EXPECT_TRUE(request.httpShouldHandleCookies());
    EXPECT_EQ(request.cachePolicy(), UrlRequest::CachePolicy::UseProtocolCachePolicy);

    request.setValueForHttpHeaderField("application/json; charset=utf-8", "Content-Type");
    request.setValueForHttpHeaderField("application/json", "Accept");
    request.setValueForHttpHeaderField("2", "Content-Length");
    request.setValueForHttpHeaderField("text/plain", "content-type");
    const HttpHeaderFields::Field expected[] = {
        {"content-type", "text/plain"}, {"Accept", "application/json"}, {"Content-Length", "2"}};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected),
                           request.allHttpHeaderFields().begin(),
                           request.allHttpHeaderFields().end()));
    EXPECT_EQ(request.valueForHttpHeaderField("CONTENT-TYPE"), "text/plain");

    request.setValueForHttpHeaderField(std::nullopt, "accept");
    EXPECT_FALSE(request.valueForHttpHeaderField("Accept"));
    EXPECT_EQ(request.allHttpHeaderFields().size(), 2u);

    request.setTimeoutInterval(0);
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    request.setTimeoutInterval(-1);
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    request.setTimeoutInterval(40);
    EXPECT_EQ(request.timeoutInterval(), 40.0);
    request.setHttpMethod("");
    EXPECT_EQ(request.httpMethod(), "GET");
}

TEST(HttpHeaderFields, SetCollapsesRepeatedFieldsAndAddKeepsThem) {
    HttpHeaderFields fields;
    fields.add("Set-Cookie", "a=1");
    fields.add("set-cookie", "b=2");
    EXPECT_EQ(fields.values("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(fields.combined("Set-Cookie"), "a=1, b=2");
    fields.set("Set-Cookie", "c=3");
    EXPECT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields.first("set-cookie"), "c=3");
}

TEST(HttpUrlResponse, ReadsLengthTypeAndEncodingFromTheFields) {
    const Url u = Url::parse("http://h/x").value();
    HttpUrlResponse json(
        u, 200,
        {{"content-type", "Application/JSON ; Charset=\"UTF-8\""}, {"Content-Length", " 1234 "}});
    EXPECT_EQ(json.statusCode(), 200);
    EXPECT_EQ(json.mimeType(), "application/json");
    EXPECT_EQ(json.textEncodingName(), "utf-8");
    EXPECT_EQ(json.expectedContentLength(), 1234);
    EXPECT_EQ(json.valueForHttpHeaderField("CONTENT-LENGTH"), " 1234 ");

    HttpUrlResponse bare(u, 204, {});
    EXPECT_EQ(bare.expectedContentLength(), -1);
    EXPECT_EQ(bare.mimeType(), "");
    EXPECT_EQ(bare.textEncodingName(), "");

    EXPECT_EQ(HttpUrlResponse(u, 200, {{"Content-Type", "text/html;level=1;charset=tis-620"}})
                  .textEncodingName(),
              "tis-620");
    EXPECT_EQ(HttpUrlResponse(u, 200, {{"Content-Length", "12x"}}).expectedContentLength(), -1);
    EXPECT_EQ(HttpUrlResponse(u, 200, {{"Content-Length", "-5"}}).expectedContentLength(), -1);
    HttpHeaderFields conflicting;
    conflicting.add("Content-Length", "10");
    conflicting.add("Content-Length", "11");
    EXPECT_EQ(HttpUrlResponse(u, 200, conflicting).expectedContentLength(), -1);
    // A decoded body is not as long as the coded one announced.
    EXPECT_EQ(HttpUrlResponse(u, 200, {{"Content-Length", "10"}}, true).expectedContentLength(),
              -1);
}
