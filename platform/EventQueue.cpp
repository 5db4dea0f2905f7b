// Posted requests over QCoreApplication::postEvent; see EventQueue.h.
#include "platform/EventQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

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
    QCoreApplication::postEvent(Receiver.get(), new RequestEvent(std::move(request)));
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
