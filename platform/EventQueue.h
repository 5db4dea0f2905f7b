// Requests posted to the GUI thread, and dispatching pending events from
// inside a call. A TRequestQueue lives on the GUI thread and runs the
// requests other threads post to it there, one at a time, in posting order.
#pragma once

#include <functional>
#include <memory>

class QObject;

class TRequestQueue {
public:
    // GUI thread: creates the receiving object on the calling thread.
    TRequestQueue();
    // GUI thread. Requests not yet run are dropped. The owner must make sure
    // no other thread posts during or after destruction.
    ~TRequestQueue();
    TRequestQueue(const TRequestQueue&) = delete;
    TRequestQueue& operator=(const TRequestQueue&) = delete;

    // Any thread: queues request to run on the GUI thread.
    void Post(std::function<void()> request);

private:
    std::unique_ptr<QObject> Receiver;
};

// GUI thread only: handles the events that are waiting (posted requests,
// timers, input, paints) and returns. Does nothing on another thread or
// when no application object exists.
void ProcessPendingEvents();

// True on the thread that owns the application object.
bool IsGuiThread();
