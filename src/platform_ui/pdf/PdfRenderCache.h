#pragma once
// ui::PdfRenderCache: the one scheduler of page renders. Its worker thread renders the requests of
// all its clients (page views, thumbnail strips) by priority: pages on screen first, then
// thumbnails, then the pages next to those on screen (rendered ahead, and only once the renders
// of pages on screen it finished have been handed over and drawn); within a priority in the
// order asked. A page rendered ahead is laid on its paper beside the worker when more waits to be
// rendered. A client hands over all it wants at once; queued requests it no longer lists are
// cancelled and never render. Pages arrive checked (the reader's are checked as they download);
// one that reaches the cache unchecked (its bytes in memory, or a file no one checked) is checked
// on the cache's checking queue, never on the render worker, and its renders wait for that
// meanwhile (the others go on): QtPdf never opens a page unchecked. Pages belong to the thread
// that made the cache (the GUI thread): the worker and the checking queue work from what a page
// hands over when it is asked for (PdfPageRenderer::Input), and checks and refusals are applied
// to the page back on its thread, when results are delivered. Images are kept
// least-recently-used within one byte budget (256 MiB unless set). Results are delivered on the
// thread that made the cache, through its event loop.
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
#include <vector>

#include "platform/runloop/DispatchQueue.h"
#include "platform_ui/pdf/PdfPage.h"
#include "platform_ui/pdf/PdfPageRenderer.h"

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
    // What a render is for, the most urgent first.
    enum class Priority : int { Visible = 0, Thumbnail = 1, Neighbour = 2 };
    struct Request {
        Ref<PdfPage> page;
        Key key;
        Priority priority = Priority::Visible;
    };
    using DoneCallback = std::function<void(const Key&)>;

    explicit PdfRenderCache(size_t byteBudget = size_t{256} << 20);
    ~PdfRenderCache() override;
    static PdfRenderCache& shared();
    // Stops and joins the worker: renders still queued never run. A later request starts it
    // again. Renders use Qt's thread pool, which goes with the application: the shared cache's
    // worker stops in the destructor of each application that used it (shared() called on its
    // thread), where the renders it finished for that application and did not hand over are
    // dropped; a program may stop it sooner (stopSharedWorker does nothing when no shared cache
    // was made).
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

    // Replaces the client's queued requests (listed in its order within each priority); `done`
    // is called for each of its renders that finishes.
    void request(const void* client, std::vector<Request> requests, DoneCallback done);
    void cancelClient(const void* client);

    // While suspended the worker starts nothing new (queued requests wait, and may be cancelled).
    void setSuspended(bool suspended);

    uint64_t renderCount() const;
    uint64_t cancelledCount() const;
    // Renders laid on their paper beside the worker while it went on to the next.
    uint64_t laidAsideCount() const;
    // The keys of the page's renders asked for and not finished (queued, under way, or waiting
    // for the page's check).
    std::vector<Key> pendingKeys(uint64_t pageId) const;

  private:
    struct Queued {
        const void* client;
        Request request;
        uint64_t order;                // when it was asked for
        PdfPageRenderer::Input input;  // what the worker renders from (taken when queued)
    };
    struct Finished {
        const void* client;
        Key key;
        QImage image;
        Priority priority;
        Ref<PdfPage> refused;  // its file changed since its check
    };
    struct Checked {
        uint64_t pageId;
        PdfPage::Check check;
    };
    void run();
    void layAside();
    // The most urgent queued request, the first asked of its priority; the queue is not empty.
    std::deque<Queued>::iterator nextLocked();
    // Whether the worker may take the next request now.
    bool mayStartLocked();
    // Hands a finished render to the cache's thread (one wake-up for all waiting there).
    void finish(Finished finished);
    // Hands a page's check to the cache's thread.
    void pageChecked(uint64_t pageId, PdfPage::Check check);
    // Asks the cache's thread to deliver (once for all waiting); the lock is not held.
    void postDelivery();
    void deliverFinished();
    // Applies the checks that ended to their pages; their renders take their places again.
    void applyChecksLocked();
    // The page's check is asked for on the checking queue; its renders wait for it.
    void checkLocked(const Ref<PdfPage>& page);
    // Has the application's end stop the worker (once for each application).
    void stopWithApplication();
    // The application goes: the worker stops, and the renders it finished for that application
    // and did not hand over go too (the next application asks again for what it shows).
    void endWithApplication();
    void insertLocked(const Key& key, QImage image);
    void evictLocked();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    // Renders whose page is being checked, those pages, and the checks ended and not applied.
    std::deque<Queued> awaitingCheck_;
    std::map<uint64_t, WeakRef<PdfPage>> checking_;
    std::vector<Checked> checked_;
    Ref<plat::DispatchQueue> checkQueue_;
    // What a check that ends tells: the cache, while it lives.
    struct CheckReceiver {
        std::mutex mutex;
        PdfRenderCache* cache;
    };
    std::shared_ptr<CheckReceiver> checkReceiver_;
    uint64_t nextOrder_ = 0;
    std::vector<Finished> finished_;
    // Renders of pages on screen finished and not yet handed over (and drawn) on the cache's
    // thread: the worker renders nothing ahead meanwhile.
    int visibleUndelivered_ = 0;
    bool deliveryPosted_ = false;
    std::map<const void*, DoneCallback> doneCallbacks_;
    std::list<std::pair<Key, QImage>> lru_;  // most recent first
    std::unordered_map<Key, std::list<std::pair<Key, QImage>>::iterator, KeyHash> index_;
    size_t budget_;
    size_t used_ = 0;
    size_t peak_ = 0;
    uint64_t renders_ = 0;
    uint64_t cancelled_ = 0;
    // Taken by the worker, until their images are in the cache.
    std::vector<Key> inFlight_;
    // Renders of pages ahead laid on their paper by a thread of their own while the worker renders
    // the next (QtPdf renders one page at a time: the laying need not wait for it, nor it for the
    // laying). Started when first needed; it ends with the worker, once all it was given is laid.
    std::deque<Finished> toLay_;
    std::condition_variable paperWake_;
    std::thread paperWorker_;
    uint64_t laidAside_ = 0;
    bool stopping_ = false;
    bool suspended_ = false;
    std::atomic<bool> stopsWithApplication_{false};
    std::thread worker_;
};

}  // namespace ui
