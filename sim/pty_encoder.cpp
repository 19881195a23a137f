#include "pty_encoder.h"

#include "device_link.h"
#include "encoder_state.h"
#include "pty_server.h"

#include <stdexcept>

namespace quillmark::sim {

struct PtyEncoder::Impl {
    explicit Impl(const PtyEncoderOptions& options)
        : state(options), server(state, options.paced) {}

    EncoderState state;
    PtyServer server; // after state: stops before the state goes
    std::vector<std::filesystem::path> links;
};

PtyEncoder::PtyEncoder(PtyEncoderOptions options) : d(std::make_unique<Impl>(options)) {}

PtyEncoder::~PtyEncoder() {
    const std::string slave = d->server.slavePath();
    d->server.stop();
    for (const auto& link : d->links)
        removeDeviceLink(link, slave);
}

void PtyEncoder::start() {
    d->server.start();
}

void PtyEncoder::stop() {
    d->server.stop();
}

std::string PtyEncoder::slavePath() const {
    return d->server.slavePath();
}

void PtyEncoder::linkAs(const std::filesystem::path& dir, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        throw std::invalid_argument("not a plain file name: " + name);
    if (d->server.slavePath().empty())
        throw std::logic_error("linkAs needs a started encoder");
    const auto link = dir / name;
    makeDeviceLink(link, d->server.slavePath());
    d->links.push_back(link);
}

std::array<Byte, 256> PtyEncoder::memory() const {
    return d->state.memory();
}

void PtyEncoder::setMemory(const std::array<Byte, 256>& m) {
    d->state.setMemory(m);
}

void PtyEncoder::addFault(const Fault& f) {
    d->state.addFault(f);
}

void PtyEncoder::clearFaults() {
    d->state.clearFaults();
}

int PtyEncoder::framesReceived() const {
    return d->state.framesReceived();
}

std::vector<EncoderEngine::Event> PtyEncoder::log() const {
    return d->state.log();
}

void PtyEncoder::clearLog() {
    d->state.clearLog();
}

void PtyEncoder::setLogSink(std::function<void(const EncoderEngine::Event&)> sink) {
    d->state.setSink(std::move(sink));
}

void PtyEncoder::inject(std::vector<Byte> bytes) {
    d->server.inject(std::move(bytes));
}

std::size_t PtyEncoder::droppedBytes() const {
    return d->state.droppedBytes();
}

bool PtyEncoder::hungUp() const {
    return d->server.hungUp();
}

} // namespace quillmark::sim
