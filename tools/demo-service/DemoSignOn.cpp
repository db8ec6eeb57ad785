#include "demo-service/DemoSignOn.h"

#include "demo-service/DemoPropertyList.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>
#include <random>

namespace demo {
namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kCookieName = "oauth_session";

std::string randomText(size_t length) {
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += kAlphabet[generator() % (sizeof(kAlphabet) - 1)];
    return text;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A form or query part: "+" is a space, %XX a byte (a broken escape stays as written).
std::string formDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() + 0 && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string formEncode(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        }
    }
    return out;
}

std::map<std::string, std::string> formFields(std::string_view text) {
    std::map<std::string, std::string> fields;
    while (!text.empty()) {
        const size_t amp = text.find('&');
        const std::string_view piece = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (piece.empty())
            continue;
        const size_t eq = piece.find('=');
        fields[formDecode(piece.substr(0, eq))] =
            eq == std::string_view::npos ? std::string() : formDecode(piece.substr(eq + 1));
    }
    return fields;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

DemoService::RouteReply signOnPage(int status, const std::string& title, const std::string& body) {
    DemoService::RouteReply reply;
    reply.status = status;
    reply.contentType = kHtml;
    reply.body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
                 markupEscaped(title) + "</title></head><body>" + body + "</body></html>";
    return reply;
}

DemoService::RouteReply signOnJson(const Json& value, int status = 200) {
    DemoService::RouteReply reply;
    reply.status = status;
    reply.contentType = kJson;
    reply.body = value.dump();
    return reply;
}

DemoService::RouteReply redirect(const std::string& location) {
    DemoService::RouteReply reply;
    reply.status = 302;
    reply.contentType = kHtml;
    reply.body = "<html><body>Moved</body></html>";
    reply.headers.emplace_back("Location", location);
    return reply;
}

}  // namespace

struct DemoSignOn::State {
    SampleCatalogue* catalogue = nullptr;
    mutable std::mutex mutex;
    std::map<std::string, std::string> codes;   // one-time code -> user
    std::map<std::string, std::string> tokens;  // live token -> user
    std::vector<std::string> tokenOrder;
    size_t codesIssued = 0;
    std::atomic<bool> omitAccessToken = false;
    std::atomic<bool> omitUsername = false;
    std::atomic<bool> wrongTypes = false;

    DemoService::RouteReply signInForm(const std::string& message) const;
    DemoService::RouteReply authorize(const RecordedRequest& request);
    DemoService::RouteReply exchange(const RecordedRequest& request);
    DemoService::RouteReply checkToken(const RecordedRequest& request);
    DemoService::RouteReply signOut(const RecordedRequest& request);
    DemoService::RouteReply profile(const RecordedRequest& request);
    Json tokenReply(const std::string& token, const std::string& user, bool valid) const;
};

DemoService::RouteReply DemoSignOn::State::signInForm(const std::string& message) const {
    std::string body = "<h1>เข้าสู่ระบบห้องสมุด</h1>";
    if (!message.empty())
        body += "<p id=\"message\">" + markupEscaped(message) + "</p>";
    body +=
        "<form id=\"signin\" method=\"post\" action=\"index.php\">"
        "<input id=\"username\" name=\"username\"><input id=\"password\" name=\"password\" "
        "type=\"password\"><button id=\"send\" type=\"submit\">เข้าสู่ระบบ</button>"
        "<button id=\"cancel\" name=\"cancel\" value=\"1\" type=\"submit\">ยกเลิก</button></form>"
        "<ul id=\"accounts\">";
    for (const auto& account : accounts())
        body += "<li>" + markupEscaped(account.username) + " / " + markupEscaped(account.password) +
                (account.locked ? " (ระงับ)" : "") + "</li>";
    body += "</ul>";
    return signOnPage(200, "เข้าสู่ระบบ Varnel", body);
}

DemoService::RouteReply DemoSignOn::State::authorize(const RecordedRequest& request) {
    if (request.method == "GET") {
        auto query = formFields(request.query);
        if (query["client_id"] != kDemoOAuthClientID || query["udid"].empty() ||
            query["redirect_uri"] != "app" || query["response_type"] != "code")
            return signOnPage(400, "คำขอไม่ถูกต้อง", "<p>The sign-in request is not valid.</p>");
        auto reply = signInForm("");
        reply.headers.emplace_back("Set-Cookie",
                                   std::string(kCookieName) + "=" + randomText(16) + "; Path=/");
        return reply;
    }
    auto form = formFields(request.body);
    if (form.count("cancel"))
        return redirect("app?error=cancel_signin&error_message=" +
                        formEncode("The member cancelled the sign-in."));
    const std::string user = lower(form["username"]);
    for (const auto& account : accounts()) {
        if (account.username != user || account.password != form["password"])
            continue;
        if (account.locked)
            return redirect("app?error=access_denied&error_message=" +
                            formEncode("This account is locked."));
        std::lock_guard lock(mutex);
        const std::string code = randomText(24);
        codes[code] = account.username;
        ++codesIssued;
        return redirect("app?code=" + code + "&state=" + randomText(8));
    }
    return signInForm("ชื่อผู้ใช้หรือรหัสผ่านไม่ถูกต้อง");
}

Json DemoSignOn::State::tokenReply(const std::string& token, const std::string& user,
                                   bool valid) const {
    const auto account = catalogue->account(user);
    const int ownerId = account ? account->userId : 0;
    const int64_t expires = (catalogue->now() + 3600) * int64_t{1000};
    Json reply = Json::object();
    if (!omitAccessToken)
        reply["access_token"] = token;
    if (wrongTypes) {
        reply["token_type"] = nullptr;
        reply["expires"] = "soon";
        reply["expires_in"] = "3600";
        reply["valid_token"] = true;
        reply["owner_type"] = Json::array({"user"});
        reply["owner_id"] = std::to_string(ownerId);
    } else {
        reply["token_type"] = "Bearer";
        reply["expires"] = expires;
        reply["expires_in"] = 3600;
        reply["valid_token"] = valid ? "T" : "F";
        reply["owner_type"] = "user";
        reply["owner_id"] = ownerId;
    }
    return reply;
}

DemoService::RouteReply DemoSignOn::State::exchange(const RecordedRequest& request) {
    auto form = formFields(request.body);
    const Json refused = {{"error", "invalid_grant"},
                          {"error_description", "The code is not valid."}};
    if (request.method != "POST" || form["grant_type"] != "authorization_code" ||
        form["client_id"] != kDemoOAuthClientID || form["client_secret"] != kDemoOAuthSecret ||
        form["redirect_uri"] != "app")
        return signOnJson({{"error", "invalid_client"}, {"error_description", "Unknown client."}},
                          400);
    std::string user, token;
    {
        std::lock_guard lock(mutex);
        auto it = codes.find(form["code"]);
        if (it == codes.end())
            return signOnJson(refused, 400);
        user = it->second;
        codes.erase(it);  // one time only
        token = "sso-" + randomText(32);
        tokens[token] = user;
        tokenOrder.push_back(token);
    }
    catalogue->grantAccessToken(token, user);
    return signOnJson(tokenReply(token, user, true));
}

DemoService::RouteReply DemoSignOn::State::checkToken(const RecordedRequest& request) {
    auto query = formFields(request.query);
    std::string user;
    {
        std::lock_guard lock(mutex);
        if (auto it = tokens.find(query["access_token"]); it != tokens.end())
            user = it->second;
    }
    return signOnJson(tokenReply(query["access_token"], user, !user.empty()));
}

DemoService::RouteReply DemoSignOn::State::signOut(const RecordedRequest& request) {
    const std::string token = formFields(request.query)["access_token"];
    bool known = false;
    {
        std::lock_guard lock(mutex);
        known = tokens.erase(token) > 0;
        std::erase(tokenOrder, token);
    }
    catalogue->revokeAccessToken(token);
    return signOnJson({{"result", known ? "signed out" : "unknown token"}});
}

DemoService::RouteReply DemoSignOn::State::profile(const RecordedRequest& request) {
    auto query = formFields(request.query);
    std::string user;
    {
        std::lock_guard lock(mutex);
        if (auto it = tokens.find(query["token"]); it != tokens.end())
            user = it->second;
    }
    if (user.empty() || query["client_id"] != kDemoOAuthClientID)
        return signOnJson({{"error", "invalid_token"}, {"error_description", "Sign in again."}},
                          403);
    const auto account = catalogue->account(user);
    const std::string first = account ? account->firstName : "";
    const std::string last = account ? account->lastName : "";
    Json p = {{"MemberID", std::to_string(account ? account->userId : 0)},
              {"Title", "คุณ"},
              {"Name", first},
              {"LastName", last},
              {"Gender", "M"},
              {"Nationality", "ไทย"},
              {"Personalid", "1100700000001"},
              {"Birthdate", "1990-02-28"},
              {"Age", "36"},
              {"HDMemberID", "HD" + std::to_string(account ? account->userId : 0)},
              {"Email", user},
              {"Mobile", "0810000000"},
              {"Telephone", "020000000"},
              {"Note", ""},
              {"ProfilePicture", ""},
              {"CreateDate", "2016-05-31 23:59:59"},
              {"ModifiedDate", "2024-01-02 08:30:00"},
              {"RegisterDate", "2016-05-31 23:59:59"},
              {"MemberTypeID", "1"},
              {"MemberTypeName", "รายบุคคลประเภทฟรี"},
              {"MemberGroupID", "G1"},
              {"MemberGroupName", "สมาชิกทั่วไป"},
              {"MemberParentID", ""}};
    for (const char* place : {"Card", "Present"}) {
        const std::string s = place;
        p["Address" + s] = "99/1";
        p["Village" + s] = "หมู่บ้านตัวอย่าง";
        p["Street" + s] = "ถนนราชดำเนิน";
        p["Soi" + s] = "ซอย 1";
        p["Moo" + s] = "2";
        p["Province" + s + "ID"] = "10";
        p["Province" + s + "Name"] = "กรุงเทพมหานคร";
        p["District" + s + "ID"] = "1001";
        p["District" + s + "Name"] = "พระนคร";
        p["Subdistrict" + s + "ID"] = "100101";
        p["Subdistrict" + s + "Name"] = "พระบรมมหาราชวัง";
        p["Postalcode" + s] = "10200";
    }
    if (!omitUsername)
        p["Username"] = user;
    if (wrongTypes) {
        p["Name"] = 42;
        p["LastName"] = nullptr;
        p["Email"] = true;
        p["Birthdate"] = 19900228;
        p["CreateDate"] = Json::object();
        p["Age"] = 36.5;
    }
    return signOnJson(p);
}

DemoSignOn::DemoSignOn(DemoService& service, SampleCatalogue& catalogue)
    : service_(service), state_(std::make_shared<State>()) {
    state_->catalogue = &catalogue;
    std::weak_ptr<State> weak = state_;
    service.addRoute(
        "/oauth2/",
        [weak](const RecordedRequest& request) -> std::optional<DemoService::RouteReply> {
            auto state = weak.lock();
            if (!state)
                return std::nullopt;
            const std::string name = request.path.substr(std::string("/oauth2/").size());
            if (name == "index.php")
                return state->authorize(request);
            if (name == "app")
                return signOnPage(200, "กำลังเข้าสู่ระบบ", "<p>Signing in…</p>");
            if (name == "access_token.php")
                return state->exchange(request);
            if (name == "checktoken.php")
                return state->checkToken(request);
            if (name == "signout.php")
                return state->signOut(request);
            return signOnPage(404, "ไม่พบหน้า", "<p>Not found.</p>");
        });
    service.addRoute(
        "/member/",
        [weak](const RecordedRequest& request) -> std::optional<DemoService::RouteReply> {
            auto state = weak.lock();
            if (!state)
                return std::nullopt;
            if (request.path == "/member/profile/getProfile")
                return state->profile(request);
            return signOnJson({{"error", "not_found"}}, 404);
        });
}

DemoSignOn::~DemoSignOn() = default;

std::string DemoSignOn::hostUrl() const {
    return service_.baseUrl() + "/oauth2/";
}

std::string DemoSignOn::serviceUrl() const {
    return service_.baseUrl() + "/member/";
}

std::vector<SignOnAccount> DemoSignOn::accounts() {
    std::vector<SignOnAccount> all;
    for (const auto& member : SampleCatalogue::namedAccounts())
        all.push_back({member.username, member.password, false});
    all.push_back({kLockedAccount, kLockedAccountPassword, true});
    return all;
}

void DemoSignOn::setOmitAccessToken(bool omit) {
    state_->omitAccessToken = omit;
}

void DemoSignOn::setOmitUsername(bool omit) {
    state_->omitUsername = omit;
}

void DemoSignOn::setWrongTypes(bool wrong) {
    state_->wrongTypes = wrong;
}

std::optional<std::string> DemoSignOn::issueCode(const std::string& username) {
    for (const auto& account : accounts()) {
        if (account.username != lower(username) || account.locked)
            continue;
        std::lock_guard lock(state_->mutex);
        const std::string code = randomText(24);
        state_->codes[code] = account.username;
        ++state_->codesIssued;
        return code;
    }
    return std::nullopt;
}

std::vector<std::string> DemoSignOn::liveTokens() const {
    std::lock_guard lock(state_->mutex);
    return state_->tokenOrder;
}

size_t DemoSignOn::codesIssued() const {
    std::lock_guard lock(state_->mutex);
    return state_->codesIssued;
}

}  // namespace demo
