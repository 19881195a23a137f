#include "command_input.h"

#include <QCoreApplication>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

CommandInput::CommandInput(int inputFd, QObject* parent)
    : QObject(parent), fd(inputFd), notifier(inputFd, QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, &CommandInput::readAvailable);
}

void CommandInput::readAvailable() {
    std::array<char, 4096> buffer{};
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        notifier.setEnabled(false);
        emit closed();
        return;
    }
    pending.append(buffer.data(), count);
    qsizetype end = 0;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QByteArray line = pending.first(end);
        pending.remove(0, end + 1);
        emit lineReceived(line);
    }
}

namespace {

int terminationPipe[2] = {-1, -1};

extern "C" void onTermination(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(terminationPipe[1], &byte, 1);
}

} // namespace

void quitOnTermination() {
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the default action still ends the helper
    // Owned by the application object, which outlives every signal delivery we care about.
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}
