// Posted requests over QCoreApplication::postEvent; see EventQueue.h.
#include "platform/EventQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

// Qt's event queue locks in code ThreadSanitizer does not see; the posting
// thread's writes reach the receiving one through it, which is said here.
#if defined(__SANITIZE_THREAD__)
#define QUILLET_TSAN_ANNOTATE 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILLET_TSAN_ANNOTATE 1
#endif
#endif
#ifdef QUILLET_TSAN_ANNOTATE
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#define QUILLET_HAPPENS_AFTER(addr) __tsan_acquire(addr)
#define QUILLET_HAPPENS_BEFORE(addr) __tsan_release(addr)
#else
#define QUILLET_HAPPENS_AFTER(addr) static_cast<void>(addr)
#define QUILLET_HAPPENS_BEFORE(addr) static_cast<void>(addr)
#endif

namespace {

const QEvent::Type RequestEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class RequestEvent : public QEvent {
public:
    explicit RequestEvent(std::function<void()> r)
        : QEvent(RequestEventType), Request(std::move(r)) {}
    std::function<void()> Request;
};

class RequestReceiver : public QObject {
public:
    bool event(QEvent* e) override {
        QUILLET_HAPPENS_AFTER(e);
        if (e->type() != RequestEventType)
            return QObject::event(e);
        auto* re = static_cast<RequestEvent*>(e);
        if (re->Request)
            re->Request();
        return true;
    }
};

} // namespace

TRequestQueue::TRequestQueue() : Receiver(std::make_unique<RequestReceiver>()) {}

TRequestQueue::~TRequestQueue() = default;

void TRequestQueue::Post(std::function<void()> request) {
    // postEvent is thread-safe and keeps the order of events for one receiver.
    auto* event = new RequestEvent(std::move(request));
    QUILLET_HAPPENS_BEFORE(event);
    QCoreApplication::postEvent(Receiver.get(), event);
}

bool IsGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void ProcessPendingEvents() {
    if (!IsGuiThread())
        return;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
