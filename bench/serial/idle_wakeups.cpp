#include "idle_wakeups.h"

#include "proc_stats.h"

#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

namespace bench {

namespace {

void runEventLoopFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

std::vector<IdleWakeups> measureIdle(const std::vector<std::string>& names, Nanos period) {
    // The last byte's delivery may still be ending (an event thread released once its
    // handler returned): that is no idle wake-up.
    runEventLoopFor(std::chrono::milliseconds(100));
    std::vector<IdleWakeups> found;
    for (const auto& name : names)
        for (const int tid : threadIdsNamed(name))
            found.push_back({name, tid, -1});
    found.push_back({"UI thread (event loop; one timer ends the wait)", ::getpid(), -1});

    std::vector<long> before;
    for (const auto& t : found)
        before.push_back(voluntaryContextSwitches(t.tid));
    runEventLoopFor(std::chrono::duration_cast<std::chrono::milliseconds>(period));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const long after = voluntaryContextSwitches(found[i].tid);
        if (after >= 0 && before[i] >= 0)
            found[i].wakeups = after - before[i];
    }
    return found;
}

} // namespace bench
