#pragma once
// OpenUDID: the device identifier shared by every application of the user that follows the same
// scheme. The identifier is 40 lower-case hexadecimal digits, made once and kept in the user
// defaults under "OpenUDID" (with this application's id, creation time, slot name and opt-out
// time), and mirrored in up to 100 named pasteboard slots, whose majority decides the value when
// this application has no record of its own yet. The first answer is kept for the life of the
// process.
//
// Error records (domain kOpenUDIDDomain, user-info key "description"):
//   0  success, first call or later call from the cache
//   1  the user has opted out; the answer is forty "0" digits
//   2  the stored identifier disagrees with the slots' majority; the stored one is answered
#include <optional>
#include <string>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "platform/storage/Pasteboard.h"

// The scheme's reverse-DNS name: error domain, pasteboard data type and slot-name prefix.
inline constexpr const char* kOpenUDIDDomain = "org.OpenUDID";
inline constexpr const char* kOpenUDIDDescriptionKey = "description";

inline constexpr int kOpenUDIDErrorNone = 0;
inline constexpr int kOpenUDIDErrorOptedOut = 1;
inline constexpr int kOpenUDIDErrorCompromised = 2;

class OpenUDID {
  public:
    // The identifier; valueWithError(nullptr).
    static std::string value();
    // The identifier, and, when error is given, the record telling how it was obtained (set on
    // success too). Always 40 hexadecimal digits.
    static std::string valueWithError(Ref<plat::Error>* error);
    // Records (YES) or withdraws (NO) the user's opt-out in the local record and forgets the
    // cached answer, so the next call answers by the new choice.
    static void setOptOut(bool optOutValue);

    // A new identifier: the MD5 of a fresh UUID text in "%02x" digits followed by a random 32-bit
    // number in "%08x".
    static std::string _generateFreshOpenUDID();
    // A mutable copy of the record archived in the slot; an empty dictionary when the slot holds
    // nothing readable.
    static Ref<plat::MutableDictionary> _getDictFromPasteboard(const plat::Pasteboard& pboard);
    // Archives the record into the slot; answers whether it was written.
    static bool _setDict(const plat::Dictionary& dict, plat::Pasteboard& pboard);

    // The name of slot n (0 to 99).
    static std::string slotName(int index);
    static constexpr int kSlotCount = 100;

    // Forgets the cached answer as a process end would (tests start a "new process" with it).
    static void resetProcessCacheForTesting();
};
