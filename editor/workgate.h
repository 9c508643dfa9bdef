#pragma once

#include <QObject>

#include <functional>

// Work on a document (an open, a conversion, a save) waits for its worker in
// a nested event loop that holds back user input only: timers, sockets and
// file watches still deliver there. A request from one of those that would
// start more document work (a file handed over by a second start of Quorel,
// a look at files changed on disk) must not start inside the work under
// way; it waits here and runs, in the order it came, once the work is over.
namespace WorkGate {

// Whether document work is running now.
bool busy();

// Runs `request` now when no work runs; otherwise once the work has ended,
// after the requests before it. A request whose `context` is gone by then is
// dropped.
void runWhenIdle(QObject *context, std::function<void()> request);

// Marks document work as running for its lifetime (they nest).
class Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
};

} // namespace WorkGate
