#include "editor/workgate.h"

#include <QPointer>
#include <QTimer>

#include <deque>

namespace {

struct Request {
    QPointer<QObject> context;
    std::function<void()> run;
};

// GUI thread only, as every window and document is.
int g_depth = 0;
std::deque<Request> g_waiting;
bool g_drainPosted = false;

void drain()
{
    g_drainPosted = false;
    // A request may start work of its own; those after it wait for that too.
    while (!g_waiting.empty() && g_depth == 0) {
        Request next = std::move(g_waiting.front());
        g_waiting.pop_front();
        if (next.context)
            next.run();
    }
}

void postDrain()
{
    if (g_drainPosted || g_waiting.empty())
        return;
    g_drainPosted = true;
    // Posted, not run here: the command whose work just ended finishes
    // first (it may still show its result).
    QTimer::singleShot(0, [] { drain(); });
}

} // namespace

namespace WorkGate {

bool busy()
{
    return g_depth > 0;
}

void runWhenIdle(QObject *context, std::function<void()> request)
{
    if (g_depth == 0 && g_waiting.empty()) {
        request();
        return;
    }
    g_waiting.push_back(Request {context, std::move(request)});
    if (g_depth == 0)
        postDrain();
}

Hold::Hold()
{
    ++g_depth;
}

Hold::~Hold()
{
    if (--g_depth == 0)
        postDrain();
}

} // namespace WorkGate
