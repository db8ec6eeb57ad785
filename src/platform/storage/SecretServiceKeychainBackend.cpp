#include "platform/storage/SecretServiceKeychainBackend.h"

#include <gio/gio.h>
#include <libsecret/secret.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/core/Log.h"
#include "platform/crypto/Base64.h"

namespace plat {
namespace {

constexpr const char* kSecretsBusName = "org.freedesktop.secrets";
constexpr int kBusTimeoutMs = 2000;

const SecretSchema* schema() {
    static const SecretSchema s = {
        "org.varnel.GenericPassword",
        SECRET_SCHEMA_NONE,
        {
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"access-group", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"label", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"description", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"accessible", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"generic", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &s;
}

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct HashTableUnref {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct SecretValueUnref {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
struct ObjectUnref {
    void operator()(gpointer o) const { g_object_unref(o); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;
using TablePtr = std::unique_ptr<GHashTable, HashTableUnref>;

TablePtr newTable() {
    return TablePtr(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
}

void put(GHashTable* table, const char* key, const std::string& value) {
    g_hash_table_insert(table, g_strdup(key), g_strdup(value.c_str()));
}

TablePtr identityTable(const KeychainItemKey& key) {
    TablePtr t = newTable();
    put(t.get(), "account", key.account);
    put(t.get(), "service", key.service);
    put(t.get(), "access-group", key.accessGroup);
    return t;
}

// The generic attribute keeps its kind: "s:" text or "d:" Base64 of the bytes.
std::string encodeGeneric(const Value& generic) {
    if (const std::string* s = generic.string())
        return "s:" + *s;
    if (const Bytes* b = generic.bytes())
        return "d:" + Base64::encode(*b);
    return {};
}

Value decodeGeneric(const char* text) {
    const std::string_view t(text);
    if (t.substr(0, 2) == "s:")
        return Value(t.substr(2));
    if (t.substr(0, 2) == "d:") {
        if (auto bytes = Base64::decode(t.substr(2)))
            return Value(std::move(*bytes));
    }
    return Value();
}

OSStatus statusFor(const GError* error) {
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED) {
        return errSecInteractionNotAllowed;
    }
    if (error->domain == G_DBUS_ERROR || error->domain == G_IO_ERROR)
        return errSecNotAvailable;
    return errSecIO;
}

OSStatus report(const char* what, GError* raw) {
    ErrorPtr error(raw);
    // GError messages describe the service's failure; they never carry the secret.
    VND_TRACE("Error", "Secret Service: cannot %s: %s", what,
              error ? error->message : "unknown error");
    return error ? statusFor(error.get()) : errSecIO;
}

const char* lookup(GHashTable* attributes, const char* key) {
    return static_cast<const char*>(g_hash_table_lookup(attributes, key));
}

}  // namespace

bool SecretServiceKeychainBackend::isAvailable() {
    // Never let GLib spawn a bus (autolaunch): only an address or the standard socket counts.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {};
        if (!runtime || ::stat((std::string(runtime) + "/bus").c_str(), &st) != 0 ||
            !S_ISSOCK(st.st_mode)) {
            return false;
        }
    }
    GError* rawError = nullptr;
    std::unique_ptr<GDBusConnection, ObjectUnref> bus(
        g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    if (!bus) {
        ErrorPtr error(rawError);
        return false;
    }
    auto call = [&](const char* method, GVariant* parameters, const char* replyType) {
        GError* callError = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(
            bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            method, parameters, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs,
            nullptr, &callError);
        ErrorPtr error(callError);
        return std::unique_ptr<GVariant, VariantUnref>(reply);
    };
    if (auto reply = call("NameHasOwner", g_variant_new("(s)", kSecretsBusName), "(b)")) {
        gboolean owned = FALSE;
        g_variant_get(reply.get(), "(b)", &owned);
        if (owned)
            return true;
    }
    if (auto reply = call("ListActivatableNames", nullptr, "(as)")) {
        GVariantIter* iter = nullptr;
        g_variant_get(reply.get(), "(as)", &iter);
        const gchar* name = nullptr;
        bool found = false;
        while (g_variant_iter_loop(iter, "&s", &name)) {
            if (std::string_view(name) == kSecretsBusName)
                found = true;
        }
        g_variant_iter_free(iter);
        return found;
    }
    return false;
}

OSStatus SecretServiceKeychainBackend::find(const KeychainFilter& filter,
                                            std::vector<KeychainItem>& out) {
    TablePtr query = newTable();
    if (filter.account)
        put(query.get(), "account", *filter.account);
    if (filter.service)
        put(query.get(), "service", *filter.service);
    if (filter.accessGroup)
        put(query.get(), "access-group", *filter.accessGroup);

    GError* error = nullptr;
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK |
                                                      SECRET_SEARCH_LOAD_SECRETS);
    GList* found = secret_password_searchv_sync(schema(), query.get(), flags, nullptr, &error);
    if (error)
        return report("search", error);

    OSStatus status = errSecSuccess;
    for (GList* node = found; node; node = node->next) {
        auto* retrievable = static_cast<SecretRetrievable*>(node->data);
        TablePtr attributes(secret_retrievable_get_attributes(retrievable));
        if (!attributes)
            continue;
        const char* account = lookup(attributes.get(), "account");
        const char* service = lookup(attributes.get(), "service");
        const char* group = lookup(attributes.get(), "access-group");
        if (!account || !service || !group)
            continue;

        GError* secretError = nullptr;
        std::unique_ptr<SecretValue, SecretValueUnref> secret(
            secret_retrievable_retrieve_secret_sync(retrievable, nullptr, &secretError));
        if (secretError) {
            status = report("read an item", secretError);
            break;
        }
        KeychainItem item;
        item.key = {account, service, group};
        if (const char* v = lookup(attributes.get(), "label"))
            item.label = v;
        if (const char* v = lookup(attributes.get(), "description"))
            item.description = v;
        if (const char* v = lookup(attributes.get(), "accessible"))
            item.accessible = v;
        if (const char* v = lookup(attributes.get(), "generic"))
            item.generic = decodeGeneric(v);
        if (secret) {
            gsize length = 0;
            const gchar* bytes = secret_value_get(secret.get(), &length);
            item.secret.assign(reinterpret_cast<const uint8_t*>(bytes),
                               reinterpret_cast<const uint8_t*>(bytes) + length);
        }
        out.push_back(std::move(item));
    }
    g_list_free_full(found, g_object_unref);
    return status;
}

OSStatus SecretServiceKeychainBackend::apply(const std::vector<KeychainItemKey>& remove,
                                             const std::vector<KeychainItem>& store) {
    auto clear = [](const KeychainItemKey& key) -> OSStatus {
        GError* error = nullptr;
        TablePtr attributes = identityTable(key);
        secret_password_clearv_sync(schema(), attributes.get(), nullptr, &error);
        return error ? report("delete an item", error) : errSecSuccess;
    };
    for (const auto& key : remove) {
        if (OSStatus status = clear(key); status != errSecSuccess)
            return status;
    }
    for (const auto& item : store) {
        // Stored items are found again by identity only, so drop the old one first: the service
        // would otherwise keep both when another attribute changed.
        if (OSStatus status = clear(item.key); status != errSecSuccess)
            return status;
        TablePtr attributes = identityTable(item.key);
        if (item.label)
            put(attributes.get(), "label", *item.label);
        if (item.description)
            put(attributes.get(), "description", *item.description);
        if (item.accessible)
            put(attributes.get(), "accessible", *item.accessible);
        if (!item.generic.isNil())
            put(attributes.get(), "generic", encodeGeneric(item.generic));
        const std::string displayLabel =
            item.label && !item.label->empty()
                ? *item.label
                : "Varnel: " + item.key.service + " " + item.key.account;
        std::unique_ptr<SecretValue, SecretValueUnref> value(secret_value_new(
            item.secret.empty() ? "" : reinterpret_cast<const gchar*>(item.secret.data()),
            static_cast<gssize>(item.secret.size()), "application/octet-stream"));
        GError* error = nullptr;
        secret_password_storev_binary_sync(schema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                           displayLabel.c_str(), value.get(), nullptr, &error);
        if (error)
            return report("store an item", error);
    }
    return errSecSuccess;
}

}  // namespace plat
