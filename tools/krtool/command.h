// The krtool command framework: subcommand registration, the option tables
// from which parsing and --help come, and input/output helpers shared by
// every subcommand.
#ifndef KRTOOL_COMMAND_H
#define KRTOOL_COMMAND_H

#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class KRException;

namespace krtool {

// Bad usage: reported as "krtool: <message>" with exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bad input or a failed operation: "krtool: <message>", exit status 1.
// `detail` is the library's own text and code, shown with --verbose.
class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& message, std::string detail = "")
        : std::runtime_error(message), detail_(std::move(detail)) {}
    const std::string& detail() const { return detail_; }

private:
    std::string detail_;
};

// The library's text and code of `e` on one line, for --verbose.
std::string LibraryDetail(const KRException& e);
// A plain-language message for a library failure that no command explained.
std::string DescribeLibraryError(const KRException& e);

// One option of a subcommand's table.
struct Option {
    char shortName;        // 0 when the option has no one-letter form
    const char* longName;  // without the leading "--"
    const char* value;     // placeholder of its value ("COLS"), null for a flag
    const char* help;      // one line for --help
};

// Parsed arguments of one subcommand. Options are named by their long name.
class Args {
public:
    // Parses with getopt_long against `options` (the command's table plus
    // the common options): "--name value", "--name=value", "-x value",
    // "-xvalue", clustered flags, options anywhere among the arguments, "--"
    // ends the options. UsageError for unknown options or missing values.
    Args(const std::vector<std::string>& argv, const std::vector<Option>& options);

    bool Has(const std::string& name) const;
    // The option's value, or `fallback` when absent.
    std::string Get(const std::string& name, const std::string& fallback = "") const;
    // The option's value; UsageError when absent.
    std::string Require(const std::string& name) const;
    // Every value given to a repeatable option, in order.
    std::vector<std::string> GetAll(const std::string& name) const;
    // The option's value as a decimal integer from `min` to `max`, or
    // `fallback` when absent; UsageError otherwise. With `hexAllowed` a
    // "0x" prefix gives hexadecimal.
    long Number(const std::string& name, long min, long max, long fallback,
                bool hexAllowed = false) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // The positional argument `index`, or "-" (standard input) when absent.
    std::string InputAt(size_t index) const;
    // Fails with UsageError unless min <= positional count <= max.
    void ExpectPositional(size_t min, size_t max) const;

private:
    static std::string Key(const std::string& name);
    std::map<std::string, std::string> values_;
    std::map<std::string, std::vector<std::string>> allValues_;
    std::set<std::string> present_;
    std::vector<std::string> positional_;
};

// A command that takes its arguments already parsed against its table.
using CommandFunction = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* summary;                 // one line for "krtool --help"
    const char* usage;                   // synopsis and description for "krtool NAME --help"
    const std::vector<Option>* options;  // its own options
    CommandFunction run;
};

// Adds a command to the registry; used through KRTOOL_COMMAND_TABLE.
struct Registrar {
    explicit Registrar(const Command& command);
};

const std::vector<Command>& Commands();
const Command* FindCommand(const std::string& name);
// The command's own options followed by those every command takes.
std::vector<Option> AllOptions(const Command& command);

// The whole content of a file, or of standard input for "-" or "".
std::string ReadInput(const std::string& path);
// The name used in messages: "standard input" for "-" or "".
std::string InputName(const std::string& path);
// Writes the bytes to standard output; InputError on a write failure.
void WriteOutput(const std::string& bytes);
void WriteOutput(const void* data, size_t length);
// Opens a file for binary reading, or returns stdin for "-" or "";
// InputError when it cannot be opened or is a directory. Close with
// CloseInput.
FILE* OpenInput(const std::string& path);
void CloseInput(FILE* file);
// Reads up to `size` bytes; InputError naming `path` on a read failure.
size_t ReadPiece(FILE* file, void* buffer, size_t size, const std::string& path);
// An input file (standard input for "-" or ""), closed when it goes away.
class InputFile {
public:
    // Opens; InputError when it cannot be opened or is a directory.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Up to `size` bytes, 0 at the end; InputError on a read failure.
    size_t Read(void* buffer, size_t size);

private:
    std::string path_;
    FILE* file_;
};

// Writes the bytes to a file through a temporary file and rename;
// InputError on failure, and then the file is unchanged.
void WriteFile(const std::string& path, const std::string& bytes);

// A stream container's write callback that copies every piece to standard
// output; `handle` points to a StdoutSink, whose `failed` is set (and -1
// returned) when a write fails.
struct StdoutSink {
    bool failed = false;
};
int WritePieceToStdout(const char* data, int length, unsigned char* unused, unsigned char* handle);

// The octets of Base64 text, through the library's decoder (characters
// outside the alphabet are skipped). `text` must be shorter than 2 GiB.
std::string Base64Decode(const std::string& text);

// Hexadecimal helpers for keys and dumps.
std::string ToHex(const unsigned char* data, size_t length, bool upper = true);
// Decodes hex text (upper or lower case, even length); UsageError naming
// `what` when it is not valid hexadecimal.
std::string FromHex(const std::string& hex, const char* what);

}  // namespace krtool

#define KRTOOL_CONCAT_INNER(a, b) a##b
#define KRTOOL_CONCAT(a, b) KRTOOL_CONCAT_INNER(a, b)
// Registers a command with its option table (a std::vector<krtool::Option>):
// KRTOOL_COMMAND_TABLE("name", "summary", "usage", kOptions, Function);
#define KRTOOL_COMMAND_TABLE(name, summary, usage, options, function) \
    static const ::krtool::Registrar KRTOOL_CONCAT(                   \
        krtoolRegistrar_, __LINE__)(::krtool::Command{name, summary, usage, &options, function})

#endif  // KRTOOL_COMMAND_H
