// quillmark-cli: stations as text, encoders from scripts.

#include "commands.h"
#include "failures.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>

#include <iostream>
#include <optional>

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "unknown"
#endif

namespace {

using namespace quillmark::cli;

constexpr const char* kName = "quillmark-cli";

struct Arguments {
    std::string file, other, port, output;
    bool json = false, verify = false, ifDifferent = false;
};

constexpr const char* kExitCodes =
    "Exit status: 0 done (diff: equal), 1 diff: the stations differ, "
    "2 wrong use, 3 the port or the encoder failed, "
    "4 a file failed or is no station.";

void describePort(CLI::App& sub, Arguments& a) {
    sub.add_option("PORT", a.port, "COMn, a device path such as /dev/serial/by-id/...")->required();
}

// CLI11 reports a misspelt subcommand as a missing one; this names it.
std::optional<std::string> unknownSubcommand(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.starts_with("-"))
            continue;
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->get_name() == word)
                return std::nullopt;
        std::string known;
        for (const CLI::App* sub : app.get_subcommands({}))
            known += (known.empty() ? "" : ", ") + sub->get_name();
        return "unknown subcommand '" + word + "' (one of: " + known + ")";
    }
    return std::nullopt;
}

int run(CLI::App& app, const Arguments& a) {
    const auto chosen = app.get_subcommands().front()->get_name();
    std::cout.exceptions(std::ios::badbit);
    if (chosen == "show")
        return showCommand(a.file, a.json, std::cout);
    if (chosen == "export")
        return exportCommand(a.file,
                             a.output.empty() ? std::nullopt
                                              : std::optional<std::filesystem::path>(a.output),
                             std::cout);
    if (chosen == "import")
        return importCommand(a.file, a.output);
    if (chosen == "diff")
        return diffCommand(a.file, a.other, a.json, std::cout);
    if (chosen == "read")
        return readCommand(a.port, a.output);
    if (chosen == "program")
        return programCommand({a.port, a.file, a.verify, a.ifDifferent, a.json}, std::cout);
    return portsCommand(a.json, std::cout);
}

void buildCommands(CLI::App& app, Arguments& a) {
    auto* show = app.add_subcommand("show", "Show a station's fields in words");
    show->add_option("FILE", a.file, "station file (.rds or .json) or PORT")->required();
    show->add_flag("--json", a.json, "the station's JSON form, with names for readers");

    auto* exp = app.add_subcommand("export", "Write a station file as JSON");
    exp->add_option("FILE", a.file, "station file (.rds)")->required();
    exp->add_option("-o,--output", a.output,
                    "file to write, named .json (default: standard output)");

    auto* imp = app.add_subcommand("import", "Make a station file from JSON");
    imp->add_option("FILE", a.file, "JSON station document (show --json output too)")->required();
    imp->add_option("-o,--output", a.output, "station file to write, not named .json")->required();

    auto* diff =
        app.add_subcommand("diff", "Compare two stations field by field (exit 1 if they differ)");
    diff->add_option("A", a.file, "station file (.rds or .json) or PORT")->required();
    diff->add_option("B", a.other, "station file (.rds or .json) or PORT")->required();
    diff->add_flag("--json", a.json, "the differing fields as one line of JSON");

    auto* read = app.add_subcommand("read", "Read the encoder's whole memory into a file");
    describePort(*read, a);
    read->add_option("-o,--output", a.output, "station file to write (.rds, or .json)")->required();

    auto* program = app.add_subcommand("program", "Program the encoder's whole memory from a file");
    describePort(*program, a);
    program->add_option("FILE", a.file, "station file (.rds or .json)")->required();
    program->add_flag("--verify", a.verify, "read back and compare");
    program->add_flag("--if-different", a.ifDifferent, "read first; program only if it differs");
    program->add_flag("--json", a.json, "report as JSON");

    auto* ports = app.add_subcommand("ports", "List the ports the program can use");
    ports->add_flag("--json", a.json, "as JSON");
}

} // namespace

int main(int argc, char** argv) {
    // The serial component lives on Qt's core; no arguments of ours are meant for it.
    int qtArgc = 1;
    QCoreApplication qt(qtArgc, argv);

    CLI::App app{"Station files and RDS encoders from the command line.", kName};
    app.set_version_flag("--version", std::string(kName) + " " + QUILLMARK_VERSION);
    app.require_subcommand(1, 1);
    app.footer(kExitCodes);
    Arguments args;
    buildCommands(app, args);
    if (const auto unknown = unknownSubcommand(app, argc, argv)) {
        std::cerr << kName << ": " << *unknown << " (see " << kName << " --help)\n";
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << kName << ": " << e.what() << " (see " << kName << " --help)\n";
        return kExitUsage;
    }
    try {
        return run(app, args);
    } catch (const Failure& e) {
        std::cerr << kName << ": " << e.what() << '\n';
        for (const std::string& hint : e.hints())
            std::cerr << "hint: " << hint << '\n';
        return e.status();
    } catch (const std::exception& e) {
        std::cerr << kName << ": " << e.what() << '\n';
        return kExitFile;
    }
}
