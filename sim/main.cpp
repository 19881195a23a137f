// quillmark-encoder-sim: the simulated encoder as a program of its own.

#include "groups_file.h"
#include "program_options.h"

#include "core/port_setting.h"

#include <csignal>
#include <fstream>
#include <iostream>
#include <pthread.h>

namespace {

using namespace quillmark::sim;

constexpr const char* kName = "quillmark-encoder-sim";

PtyEncoderOptions encoderOptions(const ProgramOptions& o) {
    PtyEncoderOptions options;
    options.paced = o.paced;
    options.faults = o.faults;
    if (o.memoryFile)
        options.memory = loadMemory(*o.memoryFile);
    return options;
}

void writeLog(std::ofstream& log, const EncoderEngine::Event& event) {
    log << hexLine("rx", event.frame) << '\n';
    if (!event.answer.empty())
        log << hexLine("tx", event.answer) << '\n';
    log.flush();
}

// A groups file that can no longer be written is told, and the encoder goes on serving.
void keepGroups(GroupsFile& groups, const std::array<quillmark::Byte, 256>& memory) {
    try {
        groups.update(memory);
    } catch (const std::exception& e) {
        std::cerr << kName << ": " << e.what() << std::endl;
    }
}

int serve(const ProgramOptions& o) {
    // Blocked before any thread starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP); // its terminal went away
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::ofstream log;
    if (o.logFile) {
        log.open(*o.logFile, std::ios::out | std::ios::trunc);
        if (!log)
            throw std::runtime_error("cannot create log file " + o.logFile->string());
    }
    PtyEncoder encoder(encoderOptions(o));
    std::optional<GroupsFile> groups;
    if (o.groupsFile) {
        groups.emplace(*o.groupsFile);
        groups->update(encoder.memory());
    }
    encoder.setLogSink([&](const EncoderEngine::Event& event) {
        if (log.is_open())
            writeLog(log, event);
        if (groups)
            keepGroups(*groups, encoder.memory());
    });
    encoder.start();
    if (o.link)
        encoder.linkAs(quillmark::configDirectory(), *o.link);
    std::cout << encoder.slavePath() << std::endl;
    if (o.link)
        std::cerr << kName << ": " << (quillmark::configDirectory() / *o.link).string() << " -> "
                  << encoder.slavePath() << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    encoder.stop(); // before the log it writes to goes
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    try {
        options = parseProgramOptions({argv + 1, argv + argc});
    } catch (const std::invalid_argument& e) {
        std::cerr << kName << ": " << e.what() << "\nTry '" << kName << " --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << helpText();
        return 0;
    }
    try {
        return serve(options);
    } catch (const std::exception& e) {
        std::cerr << kName << ": " << e.what() << '\n';
        return 1;
    }
}
