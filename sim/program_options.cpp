#include "program_options.h"

#include "core/hex_bytes.h"

#include <charconv>
#include <climits>
#include <fstream>
#include <iterator>
#include <utility>

namespace quillmark::sim {

namespace {

[[noreturn]] void fail(const std::string& message) {
    throw std::invalid_argument(message);
}

int parseNumber(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < low || value > high)
        fail(option + ": '" + text + "' is not a number from " + std::to_string(low) + " to " +
             std::to_string(high));
    return value;
}

int parseFrame(const std::string& option, const std::string& text) {
    return parseNumber(option, text, 1, INT_MAX);
}

// "N:value"
std::pair<int, int> parsePair(const std::string& option, const std::string& text, int high) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        fail(option + ": expected FRAME:VALUE, got '" + text + "'");
    return {parseFrame(option, text.substr(0, colon)),
            parseNumber(option, text.substr(colon + 1), 0, high)};
}

std::string parseLinkName(const std::string& text) {
    const std::string digits = text.starts_with("COM") ? text.substr(3) : std::string();
    int n = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, n);
    // The tool resolves exactly these names, without leading zeros.
    if (digits.empty() || digits[0] == '0' || ec != std::errc{} || ptr != end || n < 1 || n > 255)
        fail("--link: expected COM1 to COM255, got '" + text + "'");
    return text;
}

class ArgReader {
public:
    explicit ArgReader(const std::vector<std::string>& args) : args_(args) {}
    [[nodiscard]] bool done() const { return i_ >= args_.size(); }

    // The next option's name; a value given as --name=value is kept for value().
    std::string next() {
        std::string arg = args_[i_++];
        inline_.reset();
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            inline_ = arg.substr(eq + 1);
            arg.resize(eq);
        }
        return arg;
    }
    std::string value(const std::string& option) {
        if (inline_)
            return *std::exchange(inline_, std::nullopt);
        if (done())
            fail(option + " needs a value");
        return args_[i_++];
    }
    void noValue(const std::string& option) const {
        if (inline_)
            fail(option + " takes no value");
    }

private:
    const std::vector<std::string>& args_;
    std::size_t i_ = 0;
    std::optional<std::string> inline_;
};

constexpr int kMaxCount = 4096;
constexpr int kMaxDelayMs = 3'600'000;

bool takeFault(const std::string& opt, ArgReader& in, std::vector<Fault>& faults) {
    using std::chrono::milliseconds;
    if (opt == "--no-answer")
        faults.push_back({parseFrame(opt, in.value(opt)), FaultKind::NoAnswer});
    else if (opt == "--fail")
        faults.push_back({parseFrame(opt, in.value(opt)), FaultKind::FailAnswer});
    else if (opt == "--hangup-after")
        faults.push_back({parseFrame(opt, in.value(opt)), FaultKind::HangUp});
    else if (opt == "--short") {
        const auto [n, count] = parsePair(opt, in.value(opt), kMaxCount);
        faults.push_back({n, FaultKind::ShortReply, count});
    } else if (opt == "--garbage") {
        const auto [n, count] = parsePair(opt, in.value(opt), kMaxCount);
        faults.push_back({n, FaultKind::Garbage, count});
    } else if (opt == "--delay") {
        const auto [n, ms] = parsePair(opt, in.value(opt), kMaxDelayMs);
        faults.push_back({n, FaultKind::Delay, 0, milliseconds{ms}});
    } else
        return false;
    return true;
}

} // namespace

ProgramOptions parseProgramOptions(const std::vector<std::string>& args) {
    ProgramOptions o;
    ArgReader in(args);
    while (!in.done()) {
        const std::string opt = in.next();
        if (opt == "--help" || opt == "-h") {
            in.noValue(opt);
            o.help = true;
        } else if (opt == "--no-pace") {
            in.noValue(opt);
            o.paced = false;
        } else if (opt == "--link")
            o.link = parseLinkName(in.value(opt));
        else if (opt == "--memory")
            o.memoryFile = in.value(opt);
        else if (opt == "--log")
            o.logFile = in.value(opt);
        else if (opt == "--groups")
            o.groupsFile = in.value(opt);
        else if (!takeFault(opt, in, o.faults))
            fail("unknown option '" + opt + "'");
    }
    return o;
}

std::array<Byte, 256> loadMemory(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open memory file " + file.string());
    std::array<Byte, 256> memory;
    memory.fill(0xFF);
    in.read(reinterpret_cast<char*>(memory.data()), memory.size());
    if (in.bad())
        throw std::runtime_error("cannot read memory file " + file.string());
    if (in.gcount() == 256 && in.peek() != std::char_traits<char>::eof())
        throw std::runtime_error("memory file " + file.string() + " is longer than 256 bytes");
    return memory;
}

std::string hexLine(const char* prefix, const std::vector<Byte>& bytes) {
    std::string line = prefix;
    if (!bytes.empty()) {
        line += ' ';
        quillmark::appendHexBytes(line, bytes);
    }
    return line;
}

std::string helpText() {
    return R"(Usage: quillmark-encoder-sim [OPTION]...
Simulated RDS encoder on a pseudo-terminal, for trying Quillmark without hardware.

Prints the pseudo-terminal's path on the first line of its output, then serves the
encoder's protocol until it receives SIGINT, SIGTERM or SIGHUP. The encoder's 256-byte
memory starts erased (all 0xFF) unless --memory is given.

Options:
  --link COMn          make <config dir>/COMn (n = 1..255) a link to the pseudo-terminal,
                       so that Quillmark finds the encoder on that port; the link is
                       removed at exit. <config dir> is $XDG_CONFIG_HOME/Tarvenor/Quillmark
                       or $HOME/.config/Tarvenor/Quillmark.
  --no-pace            answer at once instead of at the line rate (2400 bit/s, 240 bytes/s
                       each way)
  --memory FILE        initial memory: up to 256 bytes from address 0 (a station file
                       .rds works); a shorter file leaves the rest erased
  --log FILE           write every frame received and every answer sent to FILE in hex,
                       one line each ("rx 01 E0 12 04 F7", "tx AA")
  --groups FILE        keep in FILE the RDS groups the encoder would transmit for Frame 1,
                       one a line as four hexadecimal block words ("E000 0408 E0CD 2020"),
                       rewritten whenever the memory changes
  -h, --help           show this help and exit

Faults, by the frame's number counted from 1 (each option can be repeated):
  --no-answer N        take frame N but do not answer it
  --fail N             answer frame N with 00 and do not store it
  --short N:COUNT      answer frame N with only its first COUNT bytes
  --garbage N:COUNT    answer frame N with COUNT random bytes instead
  --delay N:MS         answer frame N after MS milliseconds
  --hangup-after N     close the pseudo-terminal after frame N (not answered)

Frames: write 01..05 DATA ADDRESS XOR (answer AA, or 00 for a bad checksum or an
address range past 255); read 10 ADDRESS LENGTH (answer the bytes; a range past 255
is answered up to address 255 only); erase FE FE (fills FF, answer AA). A byte that
starts no frame is dropped.

Exit status: 0 after a signal to stop, 1 when the encoder cannot start, 2 for bad
arguments.
)";
}

} // namespace quillmark::sim
