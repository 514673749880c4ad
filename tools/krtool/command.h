// The krtool command framework: subcommand registration, argument parsing and
// input/output helpers shared by every subcommand.
#ifndef KRTOOL_COMMAND_H
#define KRTOOL_COMMAND_H

#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace krtool {

// Bad usage: reported as "krtool: <message>" with exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bad input or a failed operation: "krtool: <message>", exit status 1.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parsed arguments of one subcommand: options ("--name value" or
// "--name=value"), flags ("--name", "-d") and positional arguments. A lone
// "-" is positional (standard input); "--" ends the options.
class Args {
public:
    // `valueOptions` take a value; `flags` take none. Anything else that
    // starts with "-" is a UsageError.
    Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
         const std::set<std::string>& flags);

    bool Has(const std::string& name) const;
    // The option's value, or `fallback` when absent.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    // The option's value; UsageError when absent.
    std::string Require(const std::string& name) const;
    // The option's value as an integer (decimal, or hexadecimal with 0x);
    // UsageError when it is not a number.
    long GetLong(const std::string& name, long fallback) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Fails with UsageError unless min <= positional count <= max.
    void ExpectPositional(size_t min, size_t max) const;

private:
    std::map<std::string, std::string> values_;
    std::set<std::string> present_;
    std::vector<std::string> positional_;
};

using CommandFunction = int (*)(const std::vector<std::string>& argv);

struct Command {
    const char* name;
    const char* summary;  // one line for "krtool --help"
    const char* usage;    // the full text for "krtool NAME --help"
    CommandFunction run;  // returns the exit status
};

// Adds a command to the registry; used through KRTOOL_COMMAND.
struct Registrar {
    explicit Registrar(const Command& command);
};

const std::vector<Command>& Commands();

// The whole content of a file, or of standard input for "-" or "".
std::string ReadInput(const std::string& path);
// Writes the bytes to standard output; InputError on a write failure.
void WriteOutput(const std::string& bytes);
void WriteOutput(const void* data, size_t length);
// Opens a file for binary reading, or returns stdin for "-" or "";
// InputError when it cannot be opened. Close with CloseInput.
FILE* OpenInput(const std::string& path);
void CloseInput(FILE* file);
// Writes the bytes to a file; InputError on failure.
void WriteFile(const std::string& path, const std::string& bytes);

// A stream container's write callback that copies every piece to standard
// output; `handle` points to a StdoutSink, whose `failed` is set (and -1
// returned) when a write fails.
struct StdoutSink {
    bool failed = false;
};
int WritePieceToStdout(const char* data, int length, unsigned char* unused, unsigned char* handle);

// Hexadecimal helpers for keys and dumps.
std::string ToHex(const unsigned char* data, size_t length, bool upper = true);
// Decodes hex text (upper or lower case, even length); UsageError naming
// `what` when it is not valid hexadecimal.
std::string FromHex(const std::string& hex, const char* what);

}  // namespace krtool

#define KRTOOL_CONCAT_INNER(a, b) a##b
#define KRTOOL_CONCAT(a, b) KRTOOL_CONCAT_INNER(a, b)
// Registers a subcommand: KRTOOL_COMMAND("name", "summary", "usage", Function);
#define KRTOOL_COMMAND(name, summary, usage, function) \
    static const ::krtool::Registrar KRTOOL_CONCAT(    \
        krtoolRegistrar_, __LINE__)(::krtool::Command{name, summary, usage, function})

#endif  // KRTOOL_COMMAND_H
