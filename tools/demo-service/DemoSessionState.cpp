#include "demo-service/DemoSessionState.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace demo {

void loadSessionTokens(SampleCatalogue& catalogue, const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return;
    std::stringstream text;
    text << in.rdbuf();
    const auto state = nlohmann::json::parse(text.str(), nullptr, false);
    if (state.is_discarded() || !state.is_object() || !state.contains("sessionTokens") ||
        !state["sessionTokens"].is_object()) {
        std::cerr << "varnel-demo-service: ignoring unreadable state " << file << "\n";
        return;
    }
    for (const auto& [token, user] : state["sessionTokens"].items()) {
        if (user.is_string() && catalogue.account(user.get<std::string>()))
            catalogue.rememberSessionToken(token, user.get<std::string>());
    }
}

bool saveSessionTokens(const SampleCatalogue& catalogue, const std::filesystem::path& file) {
    nlohmann::json tokens = nlohmann::json::object();
    for (const auto& [token, user] : catalogue.sessionTokens())
        tokens[token] = user;
    const std::filesystem::path temporary = file.string() + ".new";
    {
        const mode_t old = umask(077);
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        umask(old);
        out << nlohmann::json{{"sessionTokens", tokens}}.dump(1) << "\n";
        out.flush();
        if (!out)
            return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    return !ec;
}

}  // namespace demo
