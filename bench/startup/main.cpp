// Start-up benchmark: process start to main window shown and idle, and resident memory
// then, for the program and for a bare QMainWindow program, in one run. COM1 of a private
// config folder is linked to a pseudo-terminal so that the real start-up path, port open
// included, is measured. See bench/README.md.

#include "display.h"
#include "launch.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;
namespace fs = std::filesystem;
constexpr int kRuns = 10;
constexpr auto kLimit = std::chrono::seconds(30);
const std::string kMainTitle = "Tarvenor Quillmark 2.4";

// A private config folder whose COM1 leads to a pseudo-terminal the driver holds.
class PrivateConfig {
public:
    PrivateConfig() {
        std::array<char, 32> dir{"/tmp/bench-startup-XXXXXX"};
        if (::mkdtemp(dir.data()) == nullptr)
            throw std::runtime_error("cannot make a config folder");
        root_ = dir.data();
        const fs::path folder = root_ / "Tarvenor" / "Quillmark";
        fs::create_directories(folder);
        std::array<char, 128> slave{};
        int slaveFd = -1;
        if (::openpty(&master_, &slaveFd, slave.data(), nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        // Closed here: the program must be able to open the slave exclusively, run after run.
        ::close(slaveFd);
        fs::create_symlink(slave.data(), folder / "COM1");
        ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        // As in a desktop session; Qt complains on every start without it.
        const fs::path runtime = root_ / "runtime";
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    ~PrivateConfig() {
        ::close(master_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    PrivateConfig(const PrivateConfig&) = delete;
    PrivateConfig& operator=(const PrivateConfig&) = delete;

private:
    fs::path root_;
    int master_ = -1;
};

struct Program {
    std::string label;
    std::string path;
    std::string expectedTitle;
    std::vector<StartupSample> samples;
    std::vector<std::string> failures;
};

[[nodiscard]] double ms(std::chrono::nanoseconds d) {
    return static_cast<double>(d.count()) / 1e6;
}

template <typename F> [[nodiscard]] double median(const std::vector<StartupSample>& v, F get) {
    if (v.empty())
        return 0;
    std::vector<double> x;
    for (const auto& s : v)
        x.push_back(get(s));
    std::sort(x.begin(), x.end());
    const auto n = x.size();
    return n % 2 == 1 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2;
}

[[nodiscard]] std::string errorLogPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime != nullptr ? runtime : "/tmp") + "/program-stderr.log";
}

void runOnce(Program& p, bool keep) {
    StartupSample s = launchProbed(p.path, errorLogPath(), kLimit);
    if (s.failure.empty() && s.title != p.expectedTitle)
        s.failure = "first window shown was \"" + s.title + "\" (an error box?)";
    if (!s.failure.empty())
        p.failures.push_back(s.failure);
    else if (keep)
        p.samples.push_back(s);
}

// The program's own share: what follows the process and toolkit start both programs pay.
double ownShare(const StartupSample& s) {
    return ms(s.toIdle - s.toApplication);
}

void printProgram(const Program& p) {
    const auto app = [](const StartupSample& s) { return ms(s.toApplication); };
    const auto exposed = [](const StartupSample& s) { return ms(s.toExposed); };
    const auto idle = [](const StartupSample& s) { return ms(s.toIdle); };
    const auto rss = [](const StartupSample& s) { return static_cast<double>(s.residentKb); };
    double minIdle = p.samples.empty() ? 0 : idle(p.samples.front());
    double maxIdle = 0;
    for (const auto& s : p.samples) {
        minIdle = std::min(minIdle, idle(s));
        maxIdle = std::max(maxIdle, idle(s));
    }
    std::printf("  %s, %zu runs:\n    QApplication %7.1f ms  exposed %7.1f ms  idle %7.1f ms "
                "(min %.1f, max %.1f)  VmRSS %6.1f MB\n    QApplication to idle %.1f ms\n",
                p.label.c_str(), p.samples.size(), median(p.samples, app),
                median(p.samples, exposed), median(p.samples, idle), minIdle, maxIdle,
                median(p.samples, rss) / 1024.0, median(p.samples, ownShare));
    for (const auto& f : p.failures)
        std::printf("  !! %s: %s\n", p.label.c_str(), f.c_str());
}

// The browser helper or the engine's own process; /proc truncates names to 15 characters.
[[nodiscard]] bool startsWebEngine(const std::string& children) {
    return children.find("QtWebEngine") != std::string::npos ||
           children.find("quillmark-brows") != std::string::npos;
}

bool verdict(const char* what, bool met, const std::string& detail) {
    std::printf("  [%s] %s: %s\n", met ? "met" : "MISSED", what, detail.c_str());
    return met;
}

} // namespace

int main() {
    try {
        const Display display;
        const PrivateConfig config;
        Program quillmark{"quillmark", QUILLMARK_PROBED, kMainTitle, {}, {}};
        Program bare{"bare window", BARE_PROBED, "bare", {}, {}};
        std::printf("Start-up benchmark: %d runs each, taking turns, after one warm-up run each; "
                    "display: %s; COM1 linked to a pseudo-terminal in a private "
                    "XDG_CONFIG_HOME.\n",
                    kRuns, display.description().c_str());
        std::printf("Times from posix_spawn to: QApplication built, first window exposed, event "
                    "loop idle (a zero timer run after that expose); VmRSS at idle; medians.\n");
        runOnce(quillmark, false);
        runOnce(bare, false);
        for (int i = 0; i < kRuns; ++i) {
            runOnce(quillmark, true);
            runOnce(bare, true);
        }
        printProgram(quillmark);
        printProgram(bare);

        const auto idle = [](const StartupSample& s) { return ms(s.toIdle); };
        const auto rss = [](const StartupSample& s) { return static_cast<double>(s.residentKb); };
        const double ratio = median(quillmark.samples, idle) / median(bare.samples, idle);
        std::string webChildren;
        std::string children = "-";
        for (const auto& s : quillmark.samples) {
            children = s.children;
            if (startsWebEngine(s.children))
                webChildren = s.children;
        }
        char text[128];
        std::printf("\nTargets:\n");
        bool met = !quillmark.samples.empty() && !bare.samples.empty();
        std::snprintf(text, sizeof text, "%.2fx", ratio);
        met &= verdict("start-up to idle <= 1.2x the bare window", ratio <= 1.2, text);
        const double ownMs = median(quillmark.samples, ownShare);
        std::snprintf(text, sizeof text, "%.1f ms", ownMs);
        met &= verdict("the program's own QApplication to idle <= 25 ms", ownMs <= 25.0, text);
        const double mb = median(quillmark.samples, rss) / 1024.0;
        std::snprintf(text, sizeof text, "%.1f MB", mb);
        met &= verdict("resident memory at idle < 80 MB", mb < 80.0, text);
        met &= verdict("no web engine process after start-up", webChildren.empty(),
                       "children: " + (webChildren.empty() ? children : webChildren));
        std::printf("\n%s\n", met ? "All targets met." : "Some targets missed (see above).");
        return quillmark.failures.empty() && bare.failures.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("benchmark failed: %s\n", e.what());
        return 1;
    }
}
