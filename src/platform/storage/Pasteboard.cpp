#include "platform/storage/Pasteboard.h"

#include "platform/core/Collections.h"
#include "platform/core/Log.h"
#include "platform/crypto/Digest.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/Paths.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

constexpr size_t kMaxSlotFileSize = 4 * 1024 * 1024;
constexpr size_t kMaxFileNameLength = 200;

Ref<Dictionary> readSlot(const std::filesystem::path& file) {
    auto bytes = AtomicFile::read(file, kMaxSlotFileSize);
    if (!bytes)
        return nullptr;
    return PropertyList::propertyListWithData(*bytes).dictionary();
}

}  // namespace

Ref<Pasteboard> Pasteboard::pasteboardWithName(std::string_view name) {
    return std::make_shared<Pasteboard>(Paths::applicationDataDirectory() / "Pasteboards",
                                        std::string(name));
}

Pasteboard::Pasteboard(std::filesystem::path folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)) {}

std::string Pasteboard::fileNameForName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || (c == '.' && i > 0);
        if (plain) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    if (out.empty())
        return "%";  // the empty name; no escaped name is a lone '%'
    if (out.size() > kMaxFileNameLength) {
        out = out.substr(0, kMaxFileNameLength - 34) + "~" +
              Digest::hex(Digest::sha256(name)).substr(0, 32);
    }
    return out;
}

std::filesystem::path Pasteboard::filePath() const {
    return folder_ / fileNameForName(name_);
}

std::optional<Bytes> Pasteboard::dataForType(std::string_view type) const {
    auto slot = readSlot(filePath());
    if (!slot)
        return std::nullopt;
    if (const Bytes* bytes = slot->objectForKey(type).bytes())
        return *bytes;
    return std::nullopt;
}

bool Pasteboard::setData(const Bytes& data, std::string_view type) {
    Ref<MutableDictionary> slot;
    if (auto existing = readSlot(filePath())) {
        slot = existing->mutableCopy();
    } else {
        slot = MutableDictionary::make();
    }
    slot->setObject(Value(data), Value(type));
    auto bytes = PropertyList::dataWithPropertyList(Value::fromObject(slot));
    Ref<Error> error = bytes ? Paths::createDirectories(folder_, 0700) : nullptr;
    if (bytes && !error)
        error = AtomicFile::write(filePath(), *bytes, 0600);
    if (!bytes || error) {
        VND_TRACE("Error", "Cannot write pasteboard %s: %s", name_.c_str(),
                  error ? error->localizedDescription().c_str() : "cannot encode");
        return false;
    }
    return true;
}

}  // namespace plat
