// Opens a path the way the serial port does and prints the diagnosis of the outcome, so a
// test can see what a user without the rights is told (run under setpriv).

#include "ports/diagnosis.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    quillmark::ports::DiagnosisContext context;
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    const auto probed = quillmark::ports::probePort(argv[1], context);
    const auto failed = quillmark::ports::diagnoseOpenFailure(argv[1], error, context);
    std::cout << "error " << error << "\nprobed " << static_cast<int>(probed.state) << "\nfailed "
              << static_cast<int>(failed.state) << "\ngroup " << failed.group << '\n'
              << quillmark::ports::explain(failed, "COM1") << '\n';
    return 0;
}
