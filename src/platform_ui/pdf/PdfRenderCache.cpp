#include "platform_ui/pdf/PdfRenderCache.h"

#include "platform_ui/pdf/PdfEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <atomic>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace ui {
namespace {

size_t imageBytes(const QImage& image) {
    return static_cast<size_t>(image.sizeInBytes());
}

// Qt's event queue hands a queued call to another thread under locks that ThreadSanitizer does
// not see. The cache's wake-up call carries nothing (what it delivers waits under the cache's own
// lock), so its making is left out of the race checks while this lives.
class QueuedCallUnseenByRaceChecks {
  public:
#if defined(__SANITIZE_THREAD__)
    QueuedCallUnseenByRaceChecks() {
        __tsan_ignore_thread_begin();
    }
    ~QueuedCallUnseenByRaceChecks() {
        __tsan_ignore_thread_end();
    }
#else
    QueuedCallUnseenByRaceChecks() {}
#endif
    QueuedCallUnseenByRaceChecks(const QueuedCallUnseenByRaceChecks&) = delete;
    QueuedCallUnseenByRaceChecks& operator=(const QueuedCallUnseenByRaceChecks&) = delete;
};

}  // namespace

size_t PdfRenderCache::KeyHash::operator()(const Key& k) const {
    size_t h = std::hash<uint64_t>()(k.pageId);
    for (int v : {k.fullSize.width(), k.fullSize.height(), k.clip.x(), k.clip.y(), k.clip.width(),
                  k.clip.height()})
        h = h * 31 + static_cast<size_t>(v);
    return h;
}

PdfRenderCache::PdfRenderCache(size_t byteBudget)
    : checkReceiver_(std::make_shared<CheckReceiver>()), budget_(byteBudget) {
    checkReceiver_->cache = this;
    // The engine is made first, so that a process-wide cache goes (and stops its worker) before
    // the engine it uses does.
    PdfEngine::openDocuments();
    worker_ = std::thread([this] { run(); });
}

PdfRenderCache::~PdfRenderCache() {
    {
        // A check that ends from now on tells no one (one ending now is waited for).
        std::lock_guard lock(checkReceiver_->mutex);
        checkReceiver_->cache = nullptr;
    }
    shutdown();
}

void PdfRenderCache::shutdown() {
    std::thread worker, paper;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        awaitingCheck_.clear();
        worker = std::move(worker_);
        paper = std::move(paperWorker_);
    }
    wake_.notify_all();
    paperWake_.notify_all();
    if (worker.joinable())
        worker.join();
    // Renders being laid on their paper are finished too (as the one the worker finished).
    if (paper.joinable())
        paper.join();
    // Work asked for meanwhile or afterwards starts the worker again (a process that runs the
    // program more than once, as the journey tests do).
    std::lock_guard lock(mutex_);
    stopping_ = false;
    if (!queue_.empty())
        worker_ = std::thread([this] { run(); });
    // A delivery posted to an application that has gone never comes: renders finished and not
    // delivered yet go with the next one, and renders ahead need not wait for them.
    deliveryPosted_ = false;
    visibleUndelivered_ = 0;
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
            cache->endWithApplication();
        }
    });
}

void PdfRenderCache::endWithApplication() {
    shutdown();
    // QtPdf closes with the application too, perhaps before the worker stopped: what was drawn
    // as the application went may be a placeholder in place of the page. None of it is kept for
    // the next application, nor handed to its clients.
    std::lock_guard lock(mutex_);
    for (const Finished& finished : finished_)
        std::erase(inFlight_, finished.key);
    finished_.clear();
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

std::vector<PdfRenderCache::Key> PdfRenderCache::pendingKeys(uint64_t pageId) const {
    std::lock_guard lock(mutex_);
    std::vector<Key> keys;
    for (const auto* queue : {&queue_, &awaitingCheck_}) {
        for (const auto& queued : *queue) {
            if (queued.request.key.pageId == pageId)
                keys.push_back(queued.request.key);
        }
    }
    for (const auto& key : inFlight_) {
        if (key.pageId == pageId)
            keys.push_back(key);
    }
    return keys;
}

uint64_t PdfRenderCache::cancelledCount() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

uint64_t PdfRenderCache::laidAsideCount() const {
    std::lock_guard lock(mutex_);
    return laidAside_;
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
        cancelled_ += static_cast<uint64_t>(std::count_if(queue_.begin(), queue_.end(), unlisted)) +
                      static_cast<uint64_t>(std::erase_if(awaitingCheck_, unlisted));
        std::erase_if(queue_, [&](const Queued& q) { return q.client == client; });
        const auto askedAlready = [&](const Key& key) {
            const auto same = [&](const Queued& q) {
                return q.client == client && q.request.key == key;
            };
            return std::any_of(finished_.begin(), finished_.end(),
                               [&](const Finished& f) { return f.key == key; }) ||
                   std::any_of(queue_.begin(), queue_.end(), same) ||
                   std::any_of(awaitingCheck_.begin(), awaitingCheck_.end(), same);
        };
        for (auto& r : requests) {
            if (!r.page || index_.count(r.key) ||
                std::find(inFlight_.begin(), inFlight_.end(), r.key) != inFlight_.end() ||
                askedAlready(r.key))
                continue;
            // A page no one checked waits for its check; the others are rendered from what they
            // hold now.
            if (!r.page->isChecked()) {
                checkLocked(r.page);
                awaitingCheck_.push_back({client, std::move(r), nextOrder_++, {}});
                continue;
            }
            PdfPageRenderer::Input input = PdfPageRenderer::inputOf(*r.page);
            queue_.push_back({client, std::move(r), nextOrder_++, std::move(input)});
        }
        if (!worker_.joinable() && !stopping_ && !queue_.empty())
            worker_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
}

void PdfRenderCache::cancelClient(const void* client) {
    std::lock_guard lock(mutex_);
    const auto ofClient = [&](const Queued& q) { return q.client == client; };
    cancelled_ += static_cast<uint64_t>(std::erase_if(queue_, ofClient)) +
                  static_cast<uint64_t>(std::erase_if(awaitingCheck_, ofClient));
    doneCallbacks_.erase(client);
}

void PdfRenderCache::insertLocked(const Key& key, QImage image) {
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

std::deque<PdfRenderCache::Queued>::iterator PdfRenderCache::nextLocked() {
    return std::min_element(queue_.begin(), queue_.end(), [](const Queued& a, const Queued& b) {
        return std::pair(a.request.priority, a.order) < std::pair(b.request.priority, b.order);
    });
}

bool PdfRenderCache::mayStartLocked() {
    if (suspended_ || queue_.empty())
        return false;
    // A page rendered ahead waits while one on screen is being handed over and drawn: the
    // processor is the screen's then.
    return visibleUndelivered_ == 0 || nextLocked()->request.priority == Priority::Visible;
}

void PdfRenderCache::run() {
    while (true) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || mayStartLocked(); });
        if (stopping_)
            return;
        const auto next = nextLocked();
        Queued job = std::move(*next);
        queue_.erase(next);
        inFlight_.push_back(job.request.key);
        ++renders_;
        lock.unlock();
        // From what the page handed over when it was asked for: the page itself is its thread's.
        const bool ahead = job.request.priority != Priority::Visible;
        auto rendered = PdfPageRenderer::render(
            job.input, job.request.key.fullSize, job.request.key.clip,
            ahead ? PdfPageRenderer::Paper::LeftToCaller : PdfPageRenderer::Paper::Laid);
        Finished finished{job.client, job.request.key, std::move(rendered.image),
                          job.request.priority,
                          rendered.fileChanged ? std::move(job.request.page) : nullptr};
        if (rendered.needsPaper) {
            // A page ahead, laid beside the worker when it has more to render now.
            lock.lock();
            if (!stopping_ && mayStartLocked()) {
                ++laidAside_;
                toLay_.push_back(std::move(finished));
                if (!paperWorker_.joinable())
                    paperWorker_ = std::thread([this] { layAside(); });
                lock.unlock();
                paperWake_.notify_one();
                continue;
            }
            lock.unlock();
            PdfPageRenderer::layOnPaper(finished.image);
        }
        finish(std::move(finished));
    }
}

void PdfRenderCache::layAside() {
    std::unique_lock lock(mutex_);
    while (true) {
        paperWake_.wait(lock, [&] { return stopping_ || !toLay_.empty(); });
        if (toLay_.empty())
            return;  // stopping, with all it was given laid
        Finished finished = std::move(toLay_.front());
        toLay_.pop_front();
        lock.unlock();
        PdfPageRenderer::layOnPaper(finished.image);
        finish(std::move(finished));
        lock.lock();
    }
}

void PdfRenderCache::checkLocked(const Ref<PdfPage>& page) {
    const uint64_t pageId = page->pageId();
    if (!checking_.emplace(pageId, page).second)
        return;
    if (!checkQueue_)
        checkQueue_ = plat::DispatchQueue::serial("varnel.render-cache-check");
    checkQueue_->async(
        [receiver = checkReceiver_, pageId, input = PdfPageRenderer::inputOf(*page)] {
            // Checked in the child; the page takes the check on its own thread.
            PdfPage::Check check = PdfPageRenderer::check(input);
            std::lock_guard lock(receiver->mutex);
            if (receiver->cache)
                receiver->cache->pageChecked(pageId, std::move(check));
        });
}

void PdfRenderCache::pageChecked(uint64_t pageId, PdfPage::Check check) {
    {
        std::lock_guard lock(mutex_);
        checked_.push_back({pageId, std::move(check)});
        if (std::exchange(deliveryPosted_, true))
            return;
    }
    postDelivery();
}

void PdfRenderCache::applyChecksLocked() {
    for (auto& [pageId, check] : std::exchange(checked_, {})) {
        const auto checking = checking_.find(pageId);
        const Ref<PdfPage> page = checking != checking_.end() ? checking->second.lock() : nullptr;
        if (checking != checking_.end())
            checking_.erase(checking);
        if (!page)
            continue;  // gone meanwhile, and its renders with it
        page->applyCheck(std::move(check));
        // Its renders take their places again, by priority and when they were asked for.
        for (auto it = awaitingCheck_.begin(); it != awaitingCheck_.end();) {
            if (it->request.key.pageId == pageId) {
                it->input = PdfPageRenderer::inputOf(*page);
                queue_.push_back(std::move(*it));
                it = awaitingCheck_.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (!worker_.joinable() && !stopping_ && !queue_.empty())
        worker_ = std::thread([this] { run(); });
}

void PdfRenderCache::finish(Finished finished) {
    {
        std::lock_guard lock(mutex_);
        if (finished.priority == Priority::Visible)
            ++visibleUndelivered_;
        finished_.push_back(std::move(finished));
        if (std::exchange(deliveryPosted_, true))
            return;
    }
    postDelivery();
}

void PdfRenderCache::postDelivery() {
    [[maybe_unused]] const QueuedCallUnseenByRaceChecks unseen;
    QMetaObject::invokeMethod(
        this, [this] { deliverFinished(); }, Qt::QueuedConnection);
}

void PdfRenderCache::deliverFinished() {
    std::vector<std::pair<DoneCallback, Key>> calls;
    int visible = 0;
    {
        std::lock_guard lock(mutex_);
        deliveryPosted_ = false;
        applyChecksLocked();
        for (auto& f : std::exchange(finished_, {})) {
            visible += f.priority == Priority::Visible ? 1 : 0;
            std::erase(inFlight_, f.key);
            if (f.refused)
                f.refused->refuseChangedFile();
            if (f.image.isNull())
                continue;
            insertLocked(f.key, std::move(f.image));
            const auto it = doneCallbacks_.find(f.client);
            if (it != doneCallbacks_.end() && it->second)
                calls.emplace_back(it->second, f.key);
        }
    }
    // Without the lock: what they do may ask for more (a view draws a page on screen now).
    for (const auto& [done, key] : calls)
        done(key);
    wake_.notify_one();  // renders of pages just checked may start
    if (visible == 0)
        return;
    {
        std::lock_guard lock(mutex_);
        visibleUndelivered_ = std::max(0, visibleUndelivered_ - visible);
    }
    wake_.notify_one();
}

}  // namespace ui
