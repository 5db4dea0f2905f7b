// Secret Service client for the SMTP password; see Keyring.h. Runs in a
// main context of its own, drained before the object goes, so nothing is
// left queued for the program's event loop. A watchdog thread cancels
// whatever is still running when the time is up.
#include "platform/Keyring.h"

#include "base/Translate.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <libsecret/secret.h>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

const SecretSchema* SmtpSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "io.example.Quillet.Smtp";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

template <typename T> struct TUnref {
    void operator()(T* p) const { g_object_unref(p); }
};
template <typename T> using TGObject = std::unique_ptr<T, TUnref<T>>;

struct THashUnref {
    void operator()(GHashTable* h) const { g_hash_table_unref(h); }
};
using TAttributes = std::unique_ptr<GHashTable, THashUnref>;

const SecretSchema* OAuthSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "io.example.Quillet.OAuth";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"issuer", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"client", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// Cancels its GCancellable once timeoutMs have passed, unless destroyed first.
class TDeadline {
public:
    explicit TDeadline(int timeoutMs)
        : Cancel(g_cancellable_new()), Watchdog([this, timeoutMs] {
              std::unique_lock<std::mutex> lock(Mutex);
              if (!Wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return Done; }))
                  g_cancellable_cancel(Cancel.get());
          }) {}
    ~TDeadline() {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Done = true;
        }
        Wake.notify_one();
        Watchdog.join();
    }
    GCancellable* Get() const { return Cancel.get(); }

private:
    TGObject<GCancellable> Cancel;
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Done = false;
    std::thread Watchdog;
};

} // namespace

// One item: its schema and attribute values.
struct TKeyring::TItem {
    const SecretSchema* Schema;
    std::vector<std::pair<const char*, std::string>> Values;

    TAttributes Attributes() const {
        GHashTable* table = g_hash_table_new(g_str_hash, g_str_equal);
        for (const auto& [name, value] : Values)
            g_hash_table_insert(table, const_cast<char*>(name), const_cast<char*>(value.c_str()));
        return TAttributes(table);
    }
};

namespace {

TKeyring::TItem SmtpItem(const std::string& server, const std::string& user) {
    return {SmtpSchema(), {{"server", server}, {"user", user}}};
}

TKeyring::TItem OAuthItem(const std::string& tokenUrl, const std::string& client,
                          const std::string& user) {
    return {OAuthSchema(), {{"issuer", tokenUrl}, {"client", client}, {"user", user}}};
}

} // namespace

struct TKeyring::TImpl {
    explicit TImpl(int timeoutMs) : Context(g_main_context_new()), Deadline(timeoutMs) {
        g_main_context_push_thread_default(Context);
        Connect();
    }
    ~TImpl() {
        Service.reset();
        Bus.reset();
        while (g_main_context_iteration(Context, FALSE)) {
        }
        g_main_context_pop_thread_default(Context);
        g_main_context_unref(Context);
    }

    void Connect() {
        // No address means no session bus; GLib's guesses (autolaunch, the
        // runtime directory) are not tried.
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!address || !*address)
            return;
        GError* error = nullptr;
        // The shared session connection: libsecret opens its proxies on it.
        // GLib keeps it only while referenced, so a later object reads the
        // address afresh.
        Bus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, Deadline.Get(), &error));
        if (!Bus)
            return Forget(error);
        // The program goes on when the bus goes away.
        g_dbus_connection_set_exit_on_close(Bus.get(), FALSE);
        SecretService* service = secret_service_open_sync(
            SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, Deadline.Get(), &error);
        if (!service)
            return Forget(error);
        Service.reset(service);
        gchar* owner = g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service));
        bool running = owner != nullptr;
        g_free(owner);
        if (!running || !secret_service_ensure_session_sync(service, Deadline.Get(), &error)) {
            Service.reset();
            return Forget(error);
        }
    }

    static void Forget(GError* error) {
        if (error)
            g_error_free(error);
    }

    // True when the default collection exists and is unlocked: storing
    // there cannot prompt.
    bool DefaultCollectionOpen() {
        GError* error = nullptr;
        TGObject<SecretCollection> collection(
            secret_collection_for_alias_sync(Service.get(), SECRET_COLLECTION_DEFAULT,
                                             SECRET_COLLECTION_NONE, Deadline.Get(), &error));
        Forget(error);
        return collection && !secret_collection_get_locked(collection.get());
    }

    GMainContext* Context;
    TDeadline Deadline;
    TGObject<GDBusConnection> Bus;
    TGObject<SecretService> Service;
};

TKeyring::TKeyring(int timeoutMs) : Impl(std::make_unique<TImpl>(timeoutMs)) {}

TKeyring::~TKeyring() = default;

bool TKeyring::Available() const {
    return Impl->Service != nullptr && !g_cancellable_is_cancelled(Impl->Deadline.Get());
}

std::optional<std::string> TKeyring::ReadPassword(const std::string& server,
                                                  const std::string& user) {
    return Read(SmtpItem(server, user));
}

bool TKeyring::StorePassword(const std::string& server, const std::string& user,
                             const std::string& password) {
    return Store(SmtpItem(server, user),
                 Tr("Keyring", "Quillet SMTP password for %1 at %2").Arg(user, server), password);
}

bool TKeyring::RemovePassword(const std::string& server, const std::string& user) {
    return Remove(SmtpItem(server, user));
}

std::optional<std::string> TKeyring::ReadRefreshToken(const std::string& tokenUrl,
                                                      const std::string& client,
                                                      const std::string& user) {
    return Read(OAuthItem(tokenUrl, client, user));
}

bool TKeyring::StoreRefreshToken(const std::string& tokenUrl, const std::string& client,
                                 const std::string& user, const std::string& token) {
    return Store(OAuthItem(tokenUrl, client, user),
                 Tr("Keyring", "Quillet sign-in for %1 at %2").Arg(user, tokenUrl), token);
}

bool TKeyring::RemoveRefreshToken(const std::string& tokenUrl, const std::string& client,
                                  const std::string& user) {
    return Remove(OAuthItem(tokenUrl, client, user));
}

std::optional<std::string> TKeyring::Read(const TItem& item) {
    if (!Available())
        return std::nullopt;
    GError* error = nullptr;
    // No SECRET_SEARCH_UNLOCK: a locked item stays locked and unread.
    GList* items =
        secret_service_search_sync(Impl->Service.get(), item.Schema, item.Attributes().get(),
                                   SECRET_SEARCH_LOAD_SECRETS, Impl->Deadline.Get(), &error);
    TImpl::Forget(error);
    std::optional<std::string> password;
    if (items && !secret_item_get_locked(SECRET_ITEM(items->data))) {
        if (SecretValue* value = secret_item_get_secret(SECRET_ITEM(items->data))) {
            gsize length = 0;
            const gchar* text = secret_value_get(value, &length);
            password = std::string(text, length);
            secret_value_unref(value);
        }
    }
    g_list_free_full(items, g_object_unref);
    return password;
}

bool TKeyring::Store(const TItem& item, const std::string& label, const std::string& secret) {
    if (!Available() || !Impl->DefaultCollectionOpen())
        return false;
    // One item per key, wherever an older one was kept.
    if (!Remove(item))
        return false;
    SecretValue* value = secret_value_new(secret.data(), gssize(secret.size()), "text/plain");
    GError* error = nullptr;
    bool stored = secret_service_store_sync(Impl->Service.get(), item.Schema,
                                            item.Attributes().get(), SECRET_COLLECTION_DEFAULT,
                                            label.c_str(), value, Impl->Deadline.Get(), &error);
    secret_value_unref(value);
    TImpl::Forget(error);
    return stored;
}

bool TKeyring::Remove(const TItem& item) {
    if (!Available())
        return false;
    GError* error = nullptr;
    // False without an error just means there was nothing to remove.
    secret_service_clear_sync(Impl->Service.get(), item.Schema, item.Attributes().get(),
                              Impl->Deadline.Get(), &error);
    bool failed = error != nullptr;
    TImpl::Forget(error);
    return !failed;
}
