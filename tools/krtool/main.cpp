// krtool: the command-line tool over the krtools library.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/exception.h"
#include "output.h"
#include "version.h"

namespace {

using krtool::Command;
using krtool::Option;

#ifndef KRTOOL_VERSION
#define KRTOOL_VERSION "unknown"
#endif

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// "  -d, --decode COLS" as --help shows it.
std::string Flags(const Option& option) {
    std::string text = option.shortName != 0 ? std::string("  -") + option.shortName + ", "
                                             : std::string("      ");
    text += std::string("--") + option.longName;
    if (option.value != nullptr) text += std::string(" ") + option.value;
    return text;
}

void PrintOptions(const std::vector<Option>& options) {
    size_t width = 0;
    for (const auto& option : options) width = std::max(width, Flags(option).size());
    std::printf("\noptions:\n");
    for (const auto& option : options) {
        std::printf("%-*s  %s\n", static_cast<int>(width), Flags(option).c_str(), option.help);
    }
}

void PrintOverview() {
    std::printf(
        "usage: krtool COMMAND [OPTIONS] [ARGS...]\n"
        "       krtool COMMAND --help\n"
        "       krtool --version\n"
        "\n"
        "Every command reads FILE, or standard input when FILE is \"-\" or missing,\n"
        "and writes to standard output (or with -o FILE to FILE, which appears only\n"
        "when the command succeeds). Errors are one line \"krtool: ...\" on standard\n"
        "error; the exit status is 1 for bad input or a failed operation and 2 for\n"
        "bad usage. \"--\" ends the options; --help anywhere prints the help.\n"
        "\n"
        "commands:\n");
    for (const auto& command : krtool::Commands()) {
        std::printf("  %-12s %s\n", command.name, command.summary);
    }
    std::printf(
        "\noptions:\n  -h, --help  print this help and exit\n"
        "      --version  print the version and exit\n");
}

void PrintCommandHelp(const Command& command) {
    std::printf("%s", command.usage);
    PrintOptions(krtool::AllOptions(command));
}

// Tab-separated: each command and summary, or each option of one command.
int ListOptions(const std::vector<std::string>& args) {
    if (args.empty()) {
        for (const auto& command : krtool::Commands()) {
            std::printf("%s\t%s\n", command.name, command.summary);
        }
        return 0;
    }
    const Command* command = krtool::FindCommand(args[0]);
    if (command == nullptr) return 2;
    for (const auto& option : krtool::AllOptions(*command)) {
        std::printf("%s\t--%s\t%s\t%s\n",
                    option.shortName != 0 ? (std::string("-") + option.shortName).c_str() : "",
                    option.longName, option.value != nullptr ? option.value : "", option.help);
    }
    return 0;
}

int Fail(int status, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "krtool: %s\n", message.c_str());
    return status;
}

// Exit status after printing help or version text: 1 when it could not be
// written.
int Finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return Fail(1, std::string("cannot write the output: ") + std::strerror(errno));
    }
    return status;
}

int PrintVersion() {
    std::printf("krtool (krtools) %s\n", KRTOOL_VERSION);
    krtool::PrintLoadedVersions();
    return Finish(0);
}

int RunParsed(const Command& command, const std::vector<std::string>& argv, bool* verbose) {
    const krtool::Args args(argv, krtool::AllOptions(command));
    *verbose = args.Has("verbose");
    if (args.Has("version")) return PrintVersion();
    if (args.Has("output")) krtool::RedirectStandardOutput(args.Get("output"));
    const int status = command.run(args);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw krtool::InputError(std::string("cannot write the output: ") + std::strerror(errno));
    }
    if (status == 0) krtool::CommitStandardOutput();
    return status;
}

int Run(const Command& command, const std::vector<std::string>& argv) {
    bool verbose = false;
    for (const auto& arg : argv) verbose = verbose || arg == "--verbose";
    try {
        return RunParsed(command, argv, &verbose);
    } catch (const krtool::UsageError& e) {
        return Fail(2, std::string(e.what()) + " (see 'krtool " + command.name + " --help')");
    } catch (const krtool::InputError& e) {
        const bool more = verbose && !e.detail().empty();
        return Fail(1, std::string(e.what()) + (more ? " [" + e.detail() + "]" : ""));
    } catch (const KRException& e) {
        const std::string detail = verbose ? " [" + krtool::LibraryDetail(e) + "]" : "";
        return Fail(1, krtool::DescribeLibraryError(e) + detail);
    } catch (const std::bad_alloc&) {
        return Fail(1, "out of memory");
    } catch (const std::exception& e) {
        return Fail(1, e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintOverview();
        Finish(0);
        return 2;
    }
    if (IsHelp(args[0])) {
        PrintOverview();
        return Finish(0);
    }
    if (args[0] == "--version") return PrintVersion();
    if (args[0] == "--list-options") {
        return Finish(ListOptions(std::vector<std::string>(args.begin() + 1, args.end())));
    }
    const Command* command = krtool::FindCommand(args[0]);
    if (command == nullptr) {
        return Fail(2, "unknown command '" + args[0] + "' (see 'krtool --help')");
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& arg : rest) {
        if (IsHelp(arg)) {
            PrintCommandHelp(*command);
            return Finish(0);
        }
    }
    return Run(*command, rest);
}
