#include "vnlib/dev/udid/OpenUDID.h"

#include <time.h>

#include <mutex>
#include <utility>
#include <vector>

#include "platform/core/Log.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/crypto/Uuid.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/UserDefaults.h"

namespace {

// The user-defaults key of the local record, and the record's entries.
constexpr const char* kOpenUDIDKey = "OpenUDID";
constexpr const char* kOpenUDIDAppUIDKey = "OpenUDID_appUID";
constexpr const char* kOpenUDIDTSKey = "OpenUDID_createdTS";
constexpr const char* kOpenUDIDSlotKey = "OpenUDID_slot";
constexpr const char* kOpenUDIDOOTSKey = "OpenUDID_optOutTS";

constexpr size_t kOpenUDIDLength = 40;

// The answer of the first call, kept until the process ends (or the user changes the opt-out).
struct ProcessCache {
    std::mutex mutex;
    std::optional<std::string> value;
};

ProcessCache& processCache() {
    static ProcessCache cache;
    return cache;
}

Ref<plat::Error> makeError(int code, const std::string& text) {
    return plat::Error::make(
        kOpenUDIDDomain, code,
        plat::makeDictionary({{plat::Value(kOpenUDIDDescriptionKey), plat::Value(text)}}));
}

// An identifier as the scheme writes it: 40 lower-case hexadecimal digits. Anything else in a
// record is treated as if the record held none.
bool isWellFormed(const std::string& udid) {
    if (udid.size() != kOpenUDIDLength)
        return false;
    for (char c : udid) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::optional<std::string> identifierIn(const plat::Dictionary& record) {
    const plat::Value value = record.objectForKey(kOpenUDIDKey);
    const std::string* udid = value.string();
    if (udid && isWellFormed(*udid))
        return *udid;
    return std::nullopt;
}

std::optional<std::string> textIn(const plat::Dictionary& record, const char* key) {
    const plat::Value value = record.objectForKey(key);
    const std::string* text = value.string();
    if (text && !text->empty())
        return *text;
    return std::nullopt;
}

std::optional<plat::Date> dateIn(const plat::Dictionary& record, const char* key) {
    const plat::Value value = record.objectForKey(key);
    if (const plat::Date* date = value.date())
        return *date;
    return std::nullopt;
}

// A date as the platform prints it: "2024-05-01 10:00:00 +0000".
std::string dateText(const plat::Date& date) {
    const auto seconds = static_cast<time_t>(date.seconds);
    struct tm utc {};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &utc);
    return buffer;
}

// The identifier held by most slots; among equal counts, the one found first.
std::optional<std::string> majorityOf(const std::vector<std::pair<std::string, int>>& votes) {
    const std::pair<std::string, int>* best = nullptr;
    for (const auto& vote : votes) {
        if (!best || vote.second > best->second)
            best = &vote;
    }
    return best ? std::optional<std::string>(best->first) : std::nullopt;
}

void countVote(std::vector<std::pair<std::string, int>>& votes, const std::string& udid) {
    for (auto& vote : votes) {
        if (vote.first == udid) {
            ++vote.second;
            return;
        }
    }
    votes.emplace_back(udid, 1);
}

void saveRecord(const plat::MutableDictionary& record) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->setObject(plat::Value::fromObject(record.copy()), kOpenUDIDKey);
    if (!defaults->synchronize())
        VND_TRACE("Error", "OpenUDID could not save its local record");
}

// The first call of the process; the caller holds the cache lock.
std::string computeValue(Ref<plat::Error>* error) {
    auto defaults = plat::UserDefaults::standardUserDefaults();

    // The local record. A value under the key that is not a dictionary is treated as no record
    // and replaced.
    Ref<plat::MutableDictionary> record;
    std::optional<std::string> openUDID;
    std::optional<std::string> mySlot;
    std::optional<plat::Date> optedOutDate;
    bool saveLocalRecord = false;
    if (auto stored = defaults->dictionaryForKey(kOpenUDIDKey)) {
        record = stored->mutableCopy();
        openUDID = identifierIn(*record);
        mySlot = textIn(*record, kOpenUDIDSlotKey);
        optedOutDate = dateIn(*record, kOpenUDIDOOTSKey);
    }

    // This application's id lives in its local record, so that it stays the same from one start
    // to the next and the application finds its own slot again. A record written before the id
    // was kept there takes the id now.
    std::optional<std::string> appUID;
    if (record)
        appUID = textIn(*record, kOpenUDIDAppUIDKey);
    if (!appUID) {
        if (auto legacy = defaults->stringForKey(kOpenUDIDAppUIDKey); legacy && !legacy->empty())
            appUID = *legacy;
        else
            appUID = plat::Uuid::createString();
        if (record) {
            record->setObject(plat::Value(*appUID), plat::Value(kOpenUDIDAppUIDKey));
            saveLocalRecord = true;
        }
    }

    // Poll the slots: count the identifiers, note the first free slot and find our own.
    std::vector<std::pair<std::string, int>> votes;
    std::optional<std::string> availableSlot;
    for (int n = 0; n < OpenUDID::kSlotCount; ++n) {
        const std::string name = OpenUDID::slotName(n);
        auto slot = OpenUDID::_getDictFromPasteboard(*plat::Pasteboard::pasteboardWithName(name));
        if (auto udid = identifierIn(*slot)) {
            countVote(votes, *udid);
        } else if (!availableSlot) {
            availableSlot = name;
        }
        if (textIn(*slot, kOpenUDIDAppUIDKey) == appUID) {
            mySlot = name;
            if (optedOutDate)
                optedOutDate = dateIn(*slot, kOpenUDIDOOTSKey);
        }
    }
    const std::optional<std::string> majority = majorityOf(votes);

    bool discrepancy = false;
    if (!openUDID) {
        openUDID = majority ? *majority : OpenUDID::_generateFreshOpenUDID();
        if (!record) {
            record = plat::MutableDictionary::make();
            record->setObject(plat::Value(*appUID), plat::Value(kOpenUDIDAppUIDKey));
            record->setObject(plat::Value(plat::Date::now()), plat::Value(kOpenUDIDTSKey));
        }
        // A record without a usable identifier keeps the one chosen now.
        record->setObject(plat::Value(*openUDID), plat::Value(kOpenUDIDKey));
        saveLocalRecord = true;
    } else if (majority && *majority != *openUDID) {
        discrepancy = true;
    }

    if (availableSlot && (!mySlot || *availableSlot == *mySlot)) {
        record->setObject(plat::Value(*availableSlot), plat::Value(kOpenUDIDSlotKey));
        saveLocalRecord = true;
        auto pboard = plat::Pasteboard::pasteboardWithName(*availableSlot);
        OpenUDID::_setDict(*record, *pboard);
    }

    if (saveLocalRecord)
        saveRecord(*record);

    std::string answer;
    Ref<plat::Error> outcome;
    if (optedOutDate) {
        answer = plat::format("%040x", 0);
        outcome = makeError(kOpenUDIDErrorOptedOut,
                            plat::format("Application with unique id %s is opted-out from "
                                         "OpenUDID as of %s",
                                         appUID->c_str(), dateText(*optedOutDate).c_str()));
    } else if (discrepancy) {
        answer = *openUDID;
        outcome = makeError(kOpenUDIDErrorCompromised,
                            "Found a discrepancy between stored OpenUDID (reliable) and redundant "
                            "copies; one of the apps on the device is most likely corrupting the "
                            "OpenUDID protocol");
    } else {
        answer = *openUDID;
        outcome = makeError(kOpenUDIDErrorNone, "OpenUDID succesfully retrieved");
    }
    processCache().value = answer;
    if (error)
        *error = outcome;
    return answer;
}

}  // namespace

std::string OpenUDID::value() {
    return valueWithError(nullptr);
}

std::string OpenUDID::valueWithError(Ref<plat::Error>* error) {
    ProcessCache& cache = processCache();
    std::lock_guard lock(cache.mutex);
    if (cache.value) {
        if (error)
            *error = makeError(kOpenUDIDErrorNone, "OpenUDID in cache from first call");
        return *cache.value;
    }
    return computeValue(error);
}

void OpenUDID::setOptOut(bool optOutValue) {
    ProcessCache& cache = processCache();
    std::lock_guard lock(cache.mutex);
    // Make sure the local record exists.
    if (!cache.value)
        computeValue(nullptr);

    auto defaults = plat::UserDefaults::standardUserDefaults();
    Ref<plat::MutableDictionary> record;
    if (auto stored = defaults->dictionaryForKey(kOpenUDIDKey))
        record = stored->mutableCopy();
    else
        record = plat::MutableDictionary::make();
    if (optOutValue)
        record->setObject(plat::Value(plat::Date::now()), plat::Value(kOpenUDIDOOTSKey));
    else
        record->removeObjectForKey(plat::Value(kOpenUDIDOOTSKey));
    saveRecord(*record);

    // Later starts check the opt-out against this application's own slot, so its copy there
    // follows the local record. Another application's slot is never touched.
    if (auto slotName = textIn(*record, kOpenUDIDSlotKey); slotName && identifierIn(*record)) {
        auto pboard = plat::Pasteboard::pasteboardWithName(*slotName);
        auto slot = _getDictFromPasteboard(*pboard);
        if (textIn(*slot, kOpenUDIDAppUIDKey) == textIn(*record, kOpenUDIDAppUIDKey))
            _setDict(*record, *pboard);
    }

    cache.value.reset();
}

std::string OpenUDID::_generateFreshOpenUDID() {
    const std::string uuid = plat::Uuid::createString();
    return plat::Digest::hex(plat::Digest::md5(uuid)) +
           plat::format("%08x", plat::Random::uint32());
}

Ref<plat::MutableDictionary> OpenUDID::_getDictFromPasteboard(const plat::Pasteboard& pboard) {
    if (auto data = pboard.dataForType(kOpenUDIDDomain)) {
        if (auto dict = plat::KeyedUnarchiver::unarchiveObjectWithData(*data).dictionary())
            return dict->mutableCopy();
    }
    return plat::MutableDictionary::make();
}

bool OpenUDID::_setDict(const plat::Dictionary& dict, plat::Pasteboard& pboard) {
    auto data =
        plat::KeyedArchiver::archivedDataWithRootObject(plat::Value::fromObject(dict.copy()));
    return data && pboard.setData(*data, kOpenUDIDDomain);
}

std::string OpenUDID::slotName(int index) {
    return plat::format("%s.slot.%d", kOpenUDIDDomain, index);
}

void OpenUDID::resetProcessCacheForTesting() {
    ProcessCache& cache = processCache();
    std::lock_guard lock(cache.mutex);
    cache.value.reset();
}
