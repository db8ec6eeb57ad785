#pragma once
// ui::PdfRenderCache: page images rendered by one worker thread, kept least-recently-used within
// one byte budget (256 MiB unless set) shared by the page views and thumbnail strips. A client
// hands over its wanted renders in priority order (visible pages first, then neighbours); queued
// requests it no longer lists are cancelled and never render. The worker only renders: pages
// that wait for their check (PdfPageCheck) are checked on a second thread, in the order their
// client gives, and are not rendered before. Results and checked-page notices are delivered on
// the thread that made the cache (the GUI thread), through its event loop.
#include <QImage>
#include <QObject>
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "platform_ui/pdf/PdfPage.h"

namespace ui {

class PdfRenderCache : public QObject {
  public:
    struct Key {
        uint64_t pageId = 0;
        QSize fullSize;  // the crop box's size in pixels
        QRect clip;      // the part rendered (null: all)
        bool operator==(const Key& o) const {
            return pageId == o.pageId && fullSize == o.fullSize && clip == o.clip;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Request {
        Ref<PdfPage> page;
        Key key;
    };
    using DoneCallback = std::function<void(const Key&)>;

    explicit PdfRenderCache(size_t byteBudget = size_t{256} << 20);
    ~PdfRenderCache() override;
    static PdfRenderCache& shared();
    // Stops and joins the worker and the checker: renders and checks still queued never run. A
    // later request starts them again. Renders use Qt's thread pool, which goes with the
    // application: the shared cache's worker stops in the destructor of each application that
    // used it (shared() first called on its thread), and a program may stop it sooner
    // (stopSharedWorker does nothing when no shared cache was made).
    void shutdown();
    static void stopSharedWorker();
    // Whether the render worker runs now.
    bool isWorkerRunning() const;

    size_t byteBudget() const;
    void setByteBudget(size_t bytes);
    size_t bytesUsed() const;
    size_t peakBytesUsed() const;

    // The image under the key (now the most recently used), or a null image.
    QImage image(const Key& key);
    // Some image of the page, any size (to stretch while the right one renders).
    QImage anyImageOfPage(uint64_t pageId) const;

    // Replaces the client's queued requests; `done` is called for each render that finishes.
    void request(const void* client, std::vector<Request> requests, DoneCallback done);
    void cancelClient(const void* client);
    // Replaces the client's queued checks: the pages are checked (and parsed) on the checking
    // thread in that order; `parsed` is called with each.
    void checkLater(const void* client, const std::vector<Ref<PdfPage>>& pages,
                    std::function<void(const Ref<PdfPage>&)> parsed);

    // While suspended the worker starts nothing new (queued requests wait, and may be cancelled).
    void setSuspended(bool suspended);

    uint64_t renderCount() const;
    uint64_t cancelledCount() const;

  private:
    struct Queued {
        const void* client;
        Request request;
    };
    struct ParseJob {
        const void* client;
        WeakRef<PdfPage> page;
    };
    void run();
    // Has the application's end stop the worker (once for each application).
    void stopWithApplication();
    void runChecks();
    void startCheckerLocked();
    void insert(const Key& key, QImage image);
    void evictLocked();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable wakeChecker_;
    std::deque<Queued> queue_;
    std::deque<ParseJob> parseQueue_;
    // Renders whose page waits for its check (made on the checking thread, then queued first).
    std::deque<Queued> awaitingCheck_;
    std::map<const void*, DoneCallback> doneCallbacks_;
    std::map<const void*, std::function<void(const Ref<PdfPage>&)>> parsedCallbacks_;
    std::list<std::pair<Key, QImage>> lru_;  // most recent first
    std::unordered_map<Key, std::list<std::pair<Key, QImage>>::iterator, KeyHash> index_;
    size_t budget_;
    size_t used_ = 0;
    size_t peak_ = 0;
    uint64_t renders_ = 0;
    uint64_t cancelled_ = 0;
    std::optional<Key> inFlight_;  // until its image is in the cache
    bool stopping_ = false;
    bool suspended_ = false;
    std::atomic<bool> stopsWithApplication_{false};
    std::thread worker_;
    std::thread checker_;
};

}  // namespace ui
