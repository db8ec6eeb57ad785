#include "platform_ui/pdf/PdfRenderCache.h"

#include "platform_ui/pdf/PdfEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <atomic>

namespace ui {
namespace {

// The client's callback in the map, copied under the lock so that it runs without it; empty
// when the client has none (it left meanwhile).
template <class Callbacks>
typename Callbacks::mapped_type callbackOf(std::mutex& mutex, const Callbacks& callbacks,
                                           const void* client) {
    std::lock_guard guard(mutex);
    const auto it = callbacks.find(client);
    return it != callbacks.end() ? it->second : typename Callbacks::mapped_type();
}

size_t imageBytes(const QImage& image) {
    return static_cast<size_t>(image.sizeInBytes());
}

}  // namespace

size_t PdfRenderCache::KeyHash::operator()(const Key& k) const {
    size_t h = std::hash<uint64_t>()(k.pageId);
    for (int v : {k.fullSize.width(), k.fullSize.height(), k.clip.x(), k.clip.y(), k.clip.width(),
                  k.clip.height()})
        h = h * 31 + static_cast<size_t>(v);
    return h;
}

PdfRenderCache::PdfRenderCache(size_t byteBudget) : budget_(byteBudget) {
    // The engine is made first, so that a process-wide cache goes (and stops its worker) before
    // the engine it uses does.
    PdfEngine::openDocuments();
    worker_ = std::thread([this] { run(); });
}

void PdfRenderCache::startCheckerLocked() {
    // Made when the first page needs its check: most documents are checked before they show.
    if (!checker_.joinable() && !stopping_)
        checker_ = std::thread([this] { runChecks(); });
}

PdfRenderCache::~PdfRenderCache() {
    shutdown();
}

void PdfRenderCache::shutdown() {
    std::thread worker, checker;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        parseQueue_.clear();
        awaitingCheck_.clear();
        worker = std::move(worker_);
        checker = std::move(checker_);
    }
    wake_.notify_all();
    wakeChecker_.notify_all();
    if (worker.joinable())
        worker.join();
    if (checker.joinable())
        checker.join();
    // Work asked for meanwhile or afterwards starts the threads again (a process that runs the
    // program more than once, as the journey tests do).
    std::lock_guard lock(mutex_);
    stopping_ = false;
    if (!queue_.empty())
        worker_ = std::thread([this] { run(); });
}

namespace {
std::atomic<PdfRenderCache*> sharedCache{nullptr};
}  // namespace

PdfRenderCache& PdfRenderCache::shared() {
    static PdfRenderCache cache;
    sharedCache.store(&cache, std::memory_order_release);
    cache.stopWithApplication();
    return cache;
}

void PdfRenderCache::stopWithApplication() {
    // QtPdf and QImage render through Qt's thread pool, which the application's destructor takes
    // down: the worker must not render then. Routines added here run (and are dropped) in that
    // destructor, so each application a process makes gets its own.
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread() ||
        stopsWithApplication_.exchange(true))
        return;
    qAddPostRoutine([] {
        if (PdfRenderCache* cache = sharedCache.load(std::memory_order_acquire)) {
            cache->stopsWithApplication_.store(false);
            cache->shutdown();
        }
    });
}

bool PdfRenderCache::isWorkerRunning() const {
    std::lock_guard lock(mutex_);
    return worker_.joinable();
}

void PdfRenderCache::stopSharedWorker() {
    if (PdfRenderCache* cache = sharedCache.load(std::memory_order_acquire))
        cache->shutdown();
}

size_t PdfRenderCache::byteBudget() const {
    std::lock_guard lock(mutex_);
    return budget_;
}

void PdfRenderCache::setByteBudget(size_t bytes) {
    std::lock_guard lock(mutex_);
    budget_ = bytes;
    evictLocked();
}

size_t PdfRenderCache::bytesUsed() const {
    std::lock_guard lock(mutex_);
    return used_;
}

size_t PdfRenderCache::peakBytesUsed() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

void PdfRenderCache::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    wake_.notify_all();
}

uint64_t PdfRenderCache::renderCount() const {
    std::lock_guard lock(mutex_);
    return renders_;
}

uint64_t PdfRenderCache::cancelledCount() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

QImage PdfRenderCache::image(const Key& key) {
    std::lock_guard lock(mutex_);
    const auto it = index_.find(key);
    if (it == index_.end())
        return {};
    lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->second;
}

QImage PdfRenderCache::anyImageOfPage(uint64_t pageId) const {
    std::lock_guard lock(mutex_);
    for (const auto& [key, image] : lru_) {
        if (key.pageId == pageId && key.clip.isNull())
            return image;
    }
    return {};
}

void PdfRenderCache::request(const void* client, std::vector<Request> requests, DoneCallback done) {
    {
        std::lock_guard lock(mutex_);
        doneCallbacks_[client] = std::move(done);
        const auto listed = [&](const Key& key) {
            return std::any_of(requests.begin(), requests.end(),
                               [&](const Request& r) { return r.key == key; });
        };
        const auto unlisted = [&](const Queued& q) {
            return q.client == client && !listed(q.request.key);
        };
        cancelled_ += static_cast<uint64_t>(std::count_if(queue_.begin(), queue_.end(), unlisted));
        cancelled_ += static_cast<uint64_t>(
            std::count_if(awaitingCheck_.begin(), awaitingCheck_.end(), unlisted));
        std::erase_if(queue_, [&](const Queued& q) { return q.client == client; });
        std::erase_if(awaitingCheck_, unlisted);
        for (auto& r : requests) {
            if (!r.page || index_.count(r.key) || (inFlight_ && *inFlight_ == r.key))
                continue;
            const auto same = [&](const Queued& q) { return q.request.key == r.key; };
            const bool queued = std::any_of(queue_.begin(), queue_.end(), same) ||
                                std::any_of(awaitingCheck_.begin(), awaitingCheck_.end(), same);
            if (!queued)
                queue_.push_back({client, std::move(r)});
        }
        if (!worker_.joinable() && !stopping_ && !queue_.empty())
            worker_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
}

void PdfRenderCache::cancelClient(const void* client) {
    std::lock_guard lock(mutex_);
    const size_t before = queue_.size() + awaitingCheck_.size();
    std::erase_if(queue_, [&](const Queued& q) { return q.client == client; });
    std::erase_if(awaitingCheck_, [&](const Queued& q) { return q.client == client; });
    cancelled_ += before - queue_.size() - awaitingCheck_.size();
    std::erase_if(parseQueue_, [&](const ParseJob& j) { return j.client == client; });
    doneCallbacks_.erase(client);
    parsedCallbacks_.erase(client);
}

void PdfRenderCache::checkLater(const void* client, const std::vector<Ref<PdfPage>>& pages,
                                std::function<void(const Ref<PdfPage>&)> parsed) {
    {
        std::lock_guard lock(mutex_);
        parsedCallbacks_[client] = std::move(parsed);
        std::erase_if(parseQueue_, [&](const ParseJob& j) { return j.client == client; });
        for (const auto& page : pages) {
            if (page && !page->isParsed())
                parseQueue_.push_back({client, page});
        }
        if (!parseQueue_.empty())
            startCheckerLocked();
    }
    wakeChecker_.notify_one();
}

void PdfRenderCache::insert(const Key& key, QImage image) {
    std::lock_guard lock(mutex_);
    if (index_.count(key))
        return;
    used_ += imageBytes(image);
    lru_.emplace_front(key, std::move(image));
    index_[key] = lru_.begin();
    evictLocked();
    peak_ = std::max(peak_, used_);
}

void PdfRenderCache::evictLocked() {
    // The newest image stays even when it alone is over budget.
    while (used_ > budget_ && lru_.size() > 1) {
        used_ -= imageBytes(lru_.back().second);
        index_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

void PdfRenderCache::run() {
    while (true) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || (!suspended_ && !queue_.empty()); });
        if (stopping_)
            return;
        Queued job = std::move(queue_.front());
        queue_.pop_front();
        if (!job.request.page->isParsed()) {
            lock.unlock();
            const bool waits = job.request.page->needsCheck();
            lock.lock();
            if (waits) {
                // Checked first on the checking thread, then rendered.
                parseQueue_.push_back({this, job.request.page});
                awaitingCheck_.push_back(std::move(job));
                if (!stopping_)
                    startCheckerLocked();
                wakeChecker_.notify_one();
                continue;
            }
        }
        ++renders_;
        inFlight_ = job.request.key;
        lock.unlock();
        QImage image = job.request.page->render(job.request.key.fullSize, job.request.key.clip);
        const Key key = job.request.key;
        const void* client = job.client;
        QMetaObject::invokeMethod(
            this,
            [this, key, client, image = std::move(image)]() mutable {
                {
                    std::lock_guard guard(mutex_);
                    if (inFlight_ && *inFlight_ == key)
                        inFlight_.reset();
                }
                // A page that waits for its check is asked for again once it is checked.
                if (image.isNull())
                    return;
                insert(key, std::move(image));
                const DoneCallback done = callbackOf(mutex_, doneCallbacks_, client);
                if (done)
                    done(key);
            },
            Qt::QueuedConnection);
    }
}

void PdfRenderCache::runChecks() {
    while (true) {
        std::unique_lock lock(mutex_);
        wakeChecker_.wait(lock, [&] { return stopping_ || !parseQueue_.empty(); });
        if (stopping_)
            return;
        ParseJob job = std::move(parseQueue_.front());
        parseQueue_.pop_front();
        lock.unlock();
        Ref<PdfPage> page = job.page.lock();
        if (page && !page->isParsed())
            page->parse();
        if (job.client == this) {
            // Renders that waited for this page go first.
            lock.lock();
            std::deque<Queued> ready, still;
            for (auto& q : awaitingCheck_)
                (q.request.page == page ? ready : still).push_back(std::move(q));
            awaitingCheck_ = std::move(still);
            queue_.insert(queue_.begin(), std::make_move_iterator(ready.begin()),
                          std::make_move_iterator(ready.end()));
            lock.unlock();
            wake_.notify_one();
            continue;
        }
        if (!page)
            continue;
        const void* client = job.client;
        QMetaObject::invokeMethod(
            this,
            [this, client, page]() {
                const auto parsed = callbackOf(mutex_, parsedCallbacks_, client);
                if (parsed)
                    parsed(page);
            },
            Qt::QueuedConnection);
    }
}

}  // namespace ui
