#include "pty_pair.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) < 0)
        throw std::runtime_error("openpty failed");
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    slavePath_ = ::ttyname(slave_);
}

PtyPair::~PtyPair() {
    closeMaster();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyPair::send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error("write to the pty master failed");
        if (n > 0)
            done += n;
    }
}

QByteArray PtyPair::receive(int count, std::chrono::milliseconds wait) {
    QByteArray bytes;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd entry{master_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

void PtyPair::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

int openDescriptorCount() {
    return static_cast<int>(
        QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

int threadCount() {
    return static_cast<int>(
        QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot | QDir::Dirs).size());
}

int threadIdNamed(const char* name) {
    const QStringList tasks = QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot | QDir::Dirs);
    for (const QString& task : tasks) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return task.toInt();
    }
    return -1;
}

namespace {
// Fields after the command name of /proc/<pid>/task/<tid>/stat, from field 3 (state) on.
QStringList statFields(int tid) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return QString::fromLatin1(text.mid(close + 2)).split(' ');
}
} // namespace

long threadCpuTicks(int tid) {
    const QStringList f = statFields(tid);
    // utime is field 14 and stime field 15 of the whole line.
    return f.size() > 12 ? f.at(11).toLong() + f.at(12).toLong() : -1;
}

int threadNice(int tid) {
    const QStringList f = statFields(tid);
    return f.size() > 16 ? f.at(16).toInt() : 0;
}
