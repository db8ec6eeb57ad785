// Credentials after a 401 (server) or 407 (proxy): the challenge object, credentials found in
// a fixed order, remembered for the session or in the keychain, the delegate asked when none
// is known, and the request resumed or failed.
#include <mutex>

#include "external/ASIHTTPRequest.h"
#include "external/ASIHTTPRequestErrors.h"
#include "external/ASIHTTPRequestMessages.h"

// Session records hold the challenge object that applied their credentials.
class ASIAuthenticationBox : public plat::Object {
    PLAT_CLASS(ASIAuthenticationBox)
  public:
    Ref<plat::HttpAuthentication> authentication;
};

namespace {

std::recursive_mutex& delegateAuthenticationLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::optional<std::string> textOf(const Ref<plat::Dictionary>& dictionary, const char* key) {
    if (!dictionary)
        return std::nullopt;
    const plat::Value value = dictionary->objectForKey(key);
    return value.string() ? std::optional(*value.string()) : std::nullopt;
}

plat::HttpAuthentication::Credentials credentialsOf(const Ref<plat::Dictionary>& dictionary) {
    return {textOf(dictionary, kCFHTTPAuthenticationUsername).value_or(""),
            textOf(dictionary, kCFHTTPAuthenticationPassword).value_or(""),
            textOf(dictionary, kCFHTTPAuthenticationAccountDomain).value_or("")};
}

Ref<plat::Dictionary> credentialsWith(const std::string& user, const std::string& password,
                                      const std::optional<std::string>& domain) {
    auto credentials = plat::MutableDictionary::make();
    credentials->setObject(plat::Value(user), kCFHTTPAuthenticationUsername);
    credentials->setObject(plat::Value(password), kCFHTTPAuthenticationPassword);
    if (domain)
        credentials->setObject(plat::Value(*domain), kCFHTTPAuthenticationAccountDomain);
    return credentials;
}

// NTLM account domain: the given one, else "DOMAIN\user" split at its one backslash.
void splitDomain(std::string& user, std::optional<std::string>& domain,
                 const std::optional<std::string>& given) {
    if (given && !given->empty()) {
        domain = given;
        return;
    }
    const size_t slash = user.find('\\');
    if (slash != std::string::npos && user.find('\\', slash + 1) == std::string::npos) {
        domain = user.substr(0, slash);
        user = user.substr(slash + 1);
    } else {
        domain = std::string();
    }
}

}  // namespace

PLAT_DEFINE_CLASS(ASIAuthenticationBox, plat::Object, PLAT_NO_METHODS)

// ---- Credentials before any challenge -----------------------------------------------------------

void ASIHTTPRequest::applyAuthorizationHeader() {
    if (!shouldPresentCredentialsBeforeChallenge())
        return;
    auto headers = requestHeaders();
    if (!headers || headers->objectForKey("Authorization").isNil()) {
        const auto user = username();
        const auto secret = password();
        if (user && secret && authenticationScheme() == std::optional<std::string>("Basic")) {
            addBasicAuthenticationHeaderWithUsername(*user, *secret);
        } else if (useSessionPersistence()) {
            if (auto record = findSessionAuthenticationCredentials()) {
                auto credentials = record->objectForKey(kASISessionCredentialsKey).dictionary();
                auto box =
                    record->objectForKey(kASISessionAuthenticationKey).as<ASIAuthenticationBox>();
                if (box && box->authentication && request_) {
                    if (box->authentication->applyCredentials(*request_,
                                                              credentialsOf(credentials)))
                        setAuthenticationScheme(textOf(record, kASISessionSchemeKey));
                    else
                        removeAuthenticationCredentialsFromSessionStore(credentials);
                } else if (credentials) {
                    addBasicAuthenticationHeaderWithUsername(
                        textOf(credentials, kCFHTTPAuthenticationUsername).value_or(""),
                        textOf(credentials, kCFHTTPAuthenticationPassword).value_or(""));
                }
            }
        }
    }
    if (useSessionPersistence()) {
        if (auto record = findSessionProxyAuthenticationCredentials()) {
            auto credentials = record->objectForKey(kASISessionCredentialsKey).dictionary();
            auto box =
                record->objectForKey(kASISessionAuthenticationKey).as<ASIAuthenticationBox>();
            if (box && box->authentication && request_ &&
                !box->authentication->applyCredentials(*request_, credentialsOf(credentials)))
                removeProxyAuthenticationCredentialsFromSessionStore(credentials);
        }
    }
}

// ---- Finding and applying -----------------------------------------------------------------------

Ref<plat::Dictionary> ASIHTTPRequest::findCredentials() {
    std::optional<std::string> user, password;
    const plat::Url target = url();
    if (!target.user().empty() && !target.password().empty()) {
        user = plat::Url::percentDecode(target.user());
        password = plat::Url::percentDecode(target.password());
    }
    if (!(user && password)) {
        if (auto main = mainRequest(); main && main->username() && main->password()) {
            user = main->username();
            password = main->password();
        }
    }
    if (!(user && password) && username() && this->password()) {
        user = username();
        password = this->password();
    }
    if (!(user && password) && useKeychainPersistence()) {
        if (auto saved =
                savedCredentialsForHost(target.host(), target.port().value_or(0), target.scheme(),
                                        authenticationRealm().value_or(""))) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!(user && password))
        return nullptr;
    std::optional<std::string> accountDomain;
    if (requestAuthentication_ && requestAuthentication_->requiresAccountDomain())
        splitDomain(*user, accountDomain, domain());
    return credentialsWith(*user, *password, accountDomain);
}

Ref<plat::Dictionary> ASIHTTPRequest::findProxyCredentials() {
    std::optional<std::string> user, password;
    if (auto main = mainRequest(); main && main->proxyUsername() && main->proxyPassword()) {
        user = main->proxyUsername();
        password = main->proxyPassword();
    }
    if (!(user && password) && proxyUsername() && proxyPassword()) {
        user = proxyUsername();
        password = proxyPassword();
    }
    const bool ntlm = proxyAuthenticationScheme() == std::optional<std::string>("NTLM");
    if (!(user && password) && ntlm && username() && this->password()) {
        user = username();
        password = this->password();
    }
    if (!(user && password) && proxyHost()) {
        if (auto saved = savedCredentialsForProxy(*proxyHost(), proxyPort(), url().scheme(),
                                                  proxyAuthenticationRealm().value_or(""))) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!(user && password))
        return nullptr;
    std::optional<std::string> accountDomain;
    if (proxyAuthentication_ && proxyAuthentication_->requiresAccountDomain()) {
        splitDomain(*user, accountDomain, proxyDomain());
        if (accountDomain && accountDomain->empty() && domain())
            accountDomain = domain();
    }
    return credentialsWith(*user, *password, accountDomain);
}

bool ASIHTTPRequest::applyCredentials(const Ref<plat::Dictionary>& credentials) {
    ++authenticationRetryCount_;
    if (!credentials || !requestAuthentication_ || !request_)
        return false;
    if (!requestAuthentication_->applyCredentials(*request_, credentialsOf(credentials))) {
        removeAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (useKeychainPersistence())
        saveCredentialsToKeychain(credentials);
    if (useSessionPersistence()) {
        auto box = std::make_shared<ASIAuthenticationBox>();
        box->authentication = requestAuthentication_;
        auto record = plat::MutableDictionary::make();
        record->setObject(plat::Value::fromObject(box), kASISessionAuthenticationKey);
        record->setObject(plat::Value::fromObject(credentials), kASISessionCredentialsKey);
        record->setObject(plat::Value(url().absoluteString()), kASISessionURLKey);
        record->setObject(plat::Value(authenticationScheme().value_or("")), kASISessionSchemeKey);
        if (auto realm = authenticationRealm())
            record->setObject(plat::Value(*realm), kASISessionRealmKey);
        storeAuthenticationCredentialsInSessionStore(record);
    }
    std::lock_guard lock(propertyMutex_);
    requestCredentials_ = credentials;
    return true;
}

bool ASIHTTPRequest::applyProxyCredentials(const Ref<plat::Dictionary>& credentials) {
    ++proxyAuthenticationRetryCount_;
    if (!credentials || !proxyAuthentication_ || !request_)
        return false;
    if (!proxyAuthentication_->applyCredentials(*request_, credentialsOf(credentials))) {
        removeProxyAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (useKeychainPersistence())
        saveProxyCredentialsToKeychain(credentials);
    if (useSessionPersistence()) {
        auto box = std::make_shared<ASIAuthenticationBox>();
        box->authentication = proxyAuthentication_;
        auto record = plat::MutableDictionary::make();
        record->setObject(plat::Value::fromObject(box), kASISessionAuthenticationKey);
        record->setObject(plat::Value::fromObject(credentials), kASISessionCredentialsKey);
        record->setObject(plat::Value(proxyHost().value_or("")), kASISessionHostKey);
        record->setObject(plat::Value(proxyPort()), kASISessionPortKey);
        record->setObject(plat::Value(proxyAuthenticationScheme().value_or("")),
                          kASISessionSchemeKey);
        storeProxyAuthenticationCredentialsInSessionStore(record);
    }
    std::lock_guard lock(propertyMutex_);
    proxyCredentials_ = credentials;
    return true;
}

void ASIHTTPRequest::saveCredentialsToKeychain(const Ref<plat::Dictionary>& credentials) {
    const plat::Url target = url();
    saveCredentials({textOf(credentials, kCFHTTPAuthenticationUsername).value_or(""),
                     textOf(credentials, kCFHTTPAuthenticationPassword).value_or(""),
                     plat::UrlCredential::Persistence::Permanent},
                    target.host(), target.port().value_or(0), target.scheme(),
                    authenticationRealm().value_or(""));
}

void ASIHTTPRequest::saveProxyCredentialsToKeychain(const Ref<plat::Dictionary>& credentials) {
    saveCredentialsForProxy({textOf(credentials, kCFHTTPAuthenticationUsername).value_or(""),
                             textOf(credentials, kCFHTTPAuthenticationPassword).value_or(""),
                             plat::UrlCredential::Persistence::Permanent},
                            proxyHost().value_or(""), proxyPort(),
                            proxyAuthenticationRealm().value_or(""));
}

// ---- Asking the delegate ------------------------------------------------------------------------

bool ASIHTTPRequest::willAskDelegateForCredentials() {
    if (isSynchronous_)
        return false;
    Ref<plat::Object> target = delegate();
    if (!target)
        target = queue();
    bool ask = target && plat::respondsToSelector(target, "authenticationNeededForRequest:");
    {
        std::lock_guard lock(propertyMutex_);
        ask = ask || static_cast<bool>(authenticationNeededBlock_);
    }
    if (!ask)
        return false;
    auto me = self<ASIHTTPRequest>();
    plat::RunLoop::main().post([me] { me->askDelegateForCredentials(); });
    return true;
}

bool ASIHTTPRequest::willAskDelegateForProxyCredentials() {
    if (isSynchronous_)
        return false;
    Ref<plat::Object> target = delegate();
    if (!target)
        target = queue();
    bool ask = target && plat::respondsToSelector(target, "proxyAuthenticationNeededForRequest:");
    {
        std::lock_guard lock(propertyMutex_);
        ask = ask || static_cast<bool>(proxyAuthenticationNeededBlock_);
    }
    if (!ask)
        return false;
    auto me = self<ASIHTTPRequest>();
    plat::RunLoop::main().post([me] { me->askDelegateForProxyCredentials(); });
    return true;
}

void ASIHTTPRequest::askDelegateForCredentials() {
    Ref<plat::Object> target = delegate();
    if (!target)
        target = queue();
    if (target &&
        plat::respondsToSelector(target, ASIHTTPRequestQueueMessages::kAuthenticationNeeded)) {
        plat::send(target, ASIHTTPRequestQueueMessages::kAuthenticationNeeded,
                   self<ASIHTTPRequest>());
        return;
    }
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = authenticationNeededBlock_;
    }
    if (block)
        block();
}

void ASIHTTPRequest::askDelegateForProxyCredentials() {
    Ref<plat::Object> target = delegate();
    if (!target)
        target = queue();
    if (target &&
        plat::respondsToSelector(target, ASIHTTPRequestQueueMessages::kProxyAuthenticationNeeded)) {
        plat::send(target, ASIHTTPRequestQueueMessages::kProxyAuthenticationNeeded,
                   self<ASIHTTPRequest>());
        return;
    }
    Block block;
    {
        std::lock_guard lock(propertyMutex_);
        block = proxyAuthenticationNeededBlock_;
    }
    if (block)
        block();
}

void ASIHTTPRequest::retryUsingSuppliedCredentials() {
    auto me = self<ASIHTTPRequest>();
    threadForRequest(this).performOnThread(
        [me] {
            if (!me->request_)
                me->main();
            else
                me->attemptToApplyCredentialsAndResume();
        },
        false);
}

void ASIHTTPRequest::cancelAuthentication() {
    auto me = self<ASIHTTPRequest>();
    threadForRequest(this).performOnThread([me] { me->failAuthentication(); }, false);
}

void ASIHTTPRequest::failAuthentication() {
    failWithError(authenticationError());
}

// ---- Resuming after a challenge -----------------------------------------------------------------

void ASIHTTPRequest::attemptToApplyCredentialsAndResume() {
    auto keep = self<ASIHTTPRequest>();
    if (error() || isCancelled())
        return;
    if (authenticationNeeded() == 2) {
        attemptToApplyProxyCredentialsAndResume();
        return;
    }
    if (!requestAuthentication_) {
        if (auto head = readStream_ ? readStream_->responseHeader() : std::nullopt)
            requestAuthentication_ = plat::HttpAuthentication::fromResponse(*head);
        if (requestAuthentication_)
            setAuthenticationScheme(requestAuthentication_->method());
    }
    if (!requestAuthentication_) {
        cancelLoad();
        failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                   "Failed to get authentication object from response headers"));
        return;
    }
    setAuthenticationRealm(std::nullopt);
    if (!requestAuthentication_->requiresAccountDomain())
        setAuthenticationRealm(requestAuthentication_->realm());

    Ref<plat::Error> validity;
    if (!requestAuthentication_->isValid(&validity)) {
        requestAuthentication_.reset();
        if (validity && validity->domain() == plat::kCFStreamErrorDomainHTTP &&
            (validity->code() == plat::kCFStreamErrorHTTPAuthenticationBadUserName ||
             validity->code() == plat::kCFStreamErrorHTTPAuthenticationBadPassword)) {
            std::unique_lock lock(delegateAuthenticationLock());
            removeAuthenticationCredentialsFromSessionStore(requestCredentials());
            {
                std::lock_guard properties(propertyMutex_);
                requestCredentials_.reset();
            }
            if (error() || isCancelled())
                return;
            lastActivityTime_.reset();
            if (willAskDelegateForCredentials() || showAuthenticationDialog())
                return;
        }
        cancelLoad();
        failWithError(authenticationError());
        return;
    }

    cancelLoad();  // the challenged attempt ends here
    if (!requestCredentials() && requestAuthentication_->requiresUserNameAndPassword()) {
        std::unique_lock lock(delegateAuthenticationLock());
        if (error() || isCancelled())
            return;
        if (useSessionPersistence()) {
            if (auto record = findSessionAuthenticationCredentials()) {
                if (applyCredentials(
                        record->objectForKey(kASISessionCredentialsKey).dictionary())) {
                    lock.unlock();
                    startRequest();
                    return;
                }
            }
        }
        if (auto credentials = findCredentials()) {
            const bool applied = applyCredentials(credentials);
            lock.unlock();
            if (applied)
                startRequest();
            else
                failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                           "Failed to apply credentials to request"));
            return;
        }
        if (willAskDelegateForCredentials() || showAuthenticationDialog())
            return;
        lock.unlock();
        failWithError(authenticationError());
        return;
    }
    if (!requestCredentials()) {
        // A scheme that needs no user name and password has nothing to send: give up, rather
        // than wait for nothing.
        failWithError(authenticationError());
        return;
    }
    const bool ntlm = authenticationScheme() == std::optional<std::string>("NTLM");
    if (!(ntlm && authenticationRetryCount_ >= 2) && applyCredentials(requestCredentials())) {
        startRequest();
        return;
    }
    if (ntlm && authenticationRetryCount_ == 2)
        failWithError(authenticationError());
    else
        failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                   "Failed to apply credentials to request"));
}

void ASIHTTPRequest::attemptToApplyProxyCredentialsAndResume() {
    auto keep = self<ASIHTTPRequest>();
    if (error() || isCancelled())
        return;
    if (!proxyAuthentication_) {
        if (auto head = readStream_ ? readStream_->responseHeader() : std::nullopt)
            proxyAuthentication_ = plat::HttpAuthentication::fromResponse(*head);
        if (proxyAuthentication_) {
            std::lock_guard lock(propertyMutex_);
            proxyAuthenticationScheme_ = proxyAuthentication_->method();
        }
    }
    if (!proxyAuthentication_) {
        cancelLoad();
        failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                   "Failed to get authentication object from response headers"));
        return;
    }
    {
        std::lock_guard lock(propertyMutex_);
        proxyAuthenticationRealm_.reset();
        if (!proxyAuthentication_->requiresAccountDomain())
            proxyAuthenticationRealm_ = proxyAuthentication_->realm();
    }
    Ref<plat::Error> validity;
    if (!proxyAuthentication_->isValid(&validity)) {
        proxyAuthentication_.reset();
        if (validity && validity->domain() == plat::kCFStreamErrorDomainHTTP &&
            (validity->code() == plat::kCFStreamErrorHTTPAuthenticationBadUserName ||
             validity->code() == plat::kCFStreamErrorHTTPAuthenticationBadPassword)) {
            std::unique_lock lock(delegateAuthenticationLock());
            Ref<plat::Dictionary> rejected;
            {
                std::lock_guard properties(propertyMutex_);
                rejected = std::exchange(proxyCredentials_, nullptr);
            }
            removeProxyAuthenticationCredentialsFromSessionStore(rejected);
            if (error() || isCancelled())
                return;
            lastActivityTime_.reset();
            // The request waits for the delegate here (and does not re-enter this step).
            if (willAskDelegateForProxyCredentials() || showProxyAuthenticationDialog())
                return;
        }
        cancelLoad();
        failWithError(authenticationError());
        return;
    }
    cancelLoad();
    Ref<plat::Dictionary> applied;
    {
        std::lock_guard lock(propertyMutex_);
        applied = proxyCredentials_;
    }
    if (!applied && proxyAuthentication_->requiresUserNameAndPassword()) {
        std::unique_lock lock(delegateAuthenticationLock());
        if (error() || isCancelled())
            return;
        if (useSessionPersistence()) {
            if (auto record = findSessionProxyAuthenticationCredentials()) {
                if (applyProxyCredentials(
                        record->objectForKey(kASISessionCredentialsKey).dictionary())) {
                    lock.unlock();
                    startRequest();
                    return;
                }
            }
        }
        if (auto credentials = findProxyCredentials()) {
            const bool ok = applyProxyCredentials(credentials);
            lock.unlock();
            if (ok)
                startRequest();
            else
                failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                           "Failed to apply proxy credentials to request"));
            return;
        }
        if (willAskDelegateForProxyCredentials() || showProxyAuthenticationDialog())
            return;
        lock.unlock();
        failWithError(authenticationError());
        return;
    }
    if (!applied) {
        failWithError(authenticationError());
        return;
    }
    const bool ntlm = proxyAuthenticationScheme() == std::optional<std::string>("NTLM");
    if (!(ntlm && proxyAuthenticationRetryCount_ >= 2) && applyProxyCredentials(applied)) {
        startRequest();
        return;
    }
    if (ntlm && proxyAuthenticationRetryCount_ == 2)
        failWithError(authenticationError());
    else
        failWithError(ASIMakeError(ASIInternalErrorWhileApplyingCredentialsType,
                                   "Failed to apply proxy credentials to request"));
}
