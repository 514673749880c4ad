// krtool: the command-line tool over the krtools library.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/exception.h"

namespace {

void PrintHelp() {
    std::printf("usage: krtool COMMAND [ARGS...]\n       krtool COMMAND --help\n\ncommands:\n");
    for (const auto& command : krtool::Commands()) {
        std::printf("  %-12s %s\n", command.name, command.summary);
    }
}

// One line: inner line feeds of a multi-line message become "; ".
std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            line += "; ";
        } else {
            line += c;
        }
    }
    return line;
}

int Fail(int status, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "krtool: %s\n", OneLine(message).c_str());
    return status;
}

const krtool::Command* Find(const char* name) {
    for (const auto& command : krtool::Commands()) {
        if (std::strcmp(command.name, name) == 0) return &command;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp();
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp();
        return 0;
    }
    const krtool::Command* command = Find(argv[1]);
    if (command == nullptr) return Fail(2, std::string("unknown command '") + argv[1] + "'");
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", command->usage);
            return 0;
        }
    }
    try {
        int status = command->run(args);
        if (std::fflush(stdout) != 0) return Fail(1, "cannot write to standard output");
        return status;
    } catch (const krtool::UsageError& e) {
        return Fail(2, std::string(e.what()) + " (see 'krtool " + command->name + " --help')");
    } catch (const krtool::InputError& e) {
        return Fail(1, e.what());
    } catch (const KRException& e) {
        return Fail(1, e.text.empty() ? "rc " + std::to_string(e.rc) : e.text);
    } catch (const std::exception& e) {
        return Fail(1, e.what());
    }
}
