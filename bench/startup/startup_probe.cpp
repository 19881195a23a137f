// Linked into a program without touching its code: it notes when QApplication is built,
// when the first window is exposed, and when the event loop first goes idle after that,
// prints those times (CLOCK_MONOTONIC, shared with the driver) and the resident memory,
// then lists the program's child processes and ends the program.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kChildSettle = std::chrono::milliseconds(500);

[[nodiscard]] long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

[[nodiscard]] long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = -1;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

// Names of this process's direct children, comma separated.
[[nodiscard]] std::string childNames() {
    std::string names;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return names;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, comm, state, ppid;
        // comm is "(name)" and has no blanks for the programs that matter here.
        if (!(stat >> pid >> comm >> state >> ppid) || ppid != self)
            continue;
        if (!names.empty())
            names += ',';
        names.append(comm, 1, comm.size() - 2);
    }
    ::closedir(proc);
    return names.empty() ? "-" : names;
}

class StartupProbe : public QObject {
public:
    explicit StartupProbe(QObject* parent) : QObject(parent), createdNs_(nowNs()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Expose || exposedNs_ != 0)
            return false;
        const auto* window = qobject_cast<QWindow*>(watched);
        if (window == nullptr || !window->isExposed())
            return false;
        exposedNs_ = nowNs();
        title_ = window->title().toStdString();
        QTimer::singleShot(0, this, [this] { idle(); });
        return false;
    }

private:
    void idle() {
        std::printf("probe created=%lld exposed=%lld idle=%lld rss_kb=%ld title=%s\n", createdNs_,
                    exposedNs_, nowNs(), residentKb(), title_.c_str());
        std::fflush(stdout);
        QTimer::singleShot(kChildSettle, this, [] {
            std::printf("probe children=%s\n", childNames().c_str());
            std::fflush(stdout);
            // Whatever modal box may be up, the measurement is over.
            std::_Exit(0);
        });
    }

    long long createdNs_;
    long long exposedNs_ = 0;
    std::string title_;
};

void installProbe() {
    auto* app = QCoreApplication::instance();
    app->installEventFilter(new StartupProbe(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
