// The krtool command framework: registry, option parsing and input helpers.
#include "command.h"

#include <getopt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "krtools/bufenc.h"

namespace krtool {

namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const std::vector<Option>& CommonOptions() {
    static const std::vector<Option> common = {
        {'o', "output", "FILE", "write the output to FILE, created only when the command succeeds"},
        {0, "verbose", nullptr, "add the library's own text and code to error messages"},
        {'h', "help", nullptr, "print this help and exit"},
        {0, "version", nullptr, "print the version and exit"},
    };
    return common;
}

// The getopt_long tables of `options`; long options get codes from 256 on,
// options with a short form use that letter.
struct GetoptTables {
    std::string shortOptions = ":";
    std::vector<struct option> longOptions;
};

GetoptTables BuildTables(const std::vector<Option>& options) {
    GetoptTables tables;
    for (size_t i = 0; i < options.size(); ++i) {
        const Option& o = options[i];
        const int code = o.shortName != 0 ? o.shortName : 256 + static_cast<int>(i);
        if (o.shortName != 0) {
            tables.shortOptions += o.shortName;
            if (o.value != nullptr) tables.shortOptions += ':';
        }
        tables.longOptions.push_back(
            {o.longName, o.value != nullptr ? required_argument : no_argument, nullptr, code});
    }
    tables.longOptions.push_back({nullptr, 0, nullptr, 0});
    return tables;
}

const Option* OptionForCode(const std::vector<Option>& options, int code) {
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i].shortName != 0 ? code == options[i].shortName
                                      : code == 256 + static_cast<int>(i)) {
            return &options[i];
        }
    }
    return nullptr;
}

bool ParseDecimal(const std::string& text, long* value) {
    size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (text.size() <= digits ||
        text.find_first_not_of("0123456789", digits) != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtol(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

bool ParseHex(const std::string& text, long* value) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtol(text.c_str() + 2, nullptr, 16);
    return errno != ERANGE;
}

}  // namespace

Registrar::Registrar(const Command& command) {
    auto& commands = Registry();
    auto at = std::lower_bound(
        commands.begin(), commands.end(), command,
        [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    commands.insert(at, command);
}

const std::vector<Command>& Commands() { return Registry(); }

const Command* FindCommand(const std::string& name) {
    for (const auto& command : Commands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::vector<Option> AllOptions(const Command& command) {
    std::vector<Option> all = *command.options;
    const auto& common = CommonOptions();
    all.insert(all.end(), common.begin(), common.end());
    return all;
}

Args::Args(const std::vector<std::string>& argv, const std::vector<Option>& options) {
    const GetoptTables tables = BuildTables(options);
    std::vector<std::string> storage{"krtool"};
    storage.insert(storage.end(), argv.begin(), argv.end());
    std::vector<char*> pointers;
    for (auto& arg : storage) pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());
    opterr = 0;
    optind = 0;  // a full restart of the scan
    int code;
    while ((code = getopt_long(argc, pointers.data(), tables.shortOptions.c_str(),
                               tables.longOptions.data(), nullptr)) != -1) {
        const std::string seen = pointers[static_cast<size_t>(optind - 1)];
        if (code == '?') throw UsageError("unknown option '" + seen + "'");
        if (code == ':') throw UsageError("option '" + seen + "' needs a value");
        const Option* option = OptionForCode(options, code);
        if (option == nullptr) throw UsageError("unknown option '" + seen + "'");
        present_.insert(option->longName);
        if (option->value != nullptr) {
            values_[option->longName] = optarg;
            allValues_[option->longName].push_back(optarg);
        }
    }
    for (int i = optind; i < argc; ++i) positional_.push_back(pointers[static_cast<size_t>(i)]);
}

std::string Args::Key(const std::string& name) {
    return name.rfind("--", 0) == 0  ? name.substr(2)
           : name.rfind('-', 0) == 0 ? name.substr(1)
                                     : name;
}

bool Args::Has(const std::string& name) const { return present_.count(Key(name)) != 0; }

std::string Args::Get(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(Key(name));
    return it == values_.end() ? fallback : it->second;
}

std::string Args::Require(const std::string& name) const {
    auto it = values_.find(Key(name));
    if (it == values_.end()) throw UsageError("missing option --" + Key(name));
    return it->second;
}

std::vector<std::string> Args::GetAll(const std::string& name) const {
    auto it = allValues_.find(Key(name));
    return it == allValues_.end() ? std::vector<std::string>() : it->second;
}

long Args::Number(const std::string& name, long min, long max, long fallback,
                  bool hexAllowed) const {
    auto it = values_.find(Key(name));
    if (it == values_.end()) return fallback;
    const std::string& text = it->second;
    long value = 0;
    const bool ok =
        !text.empty() && (ParseDecimal(text, &value) || (hexAllowed && ParseHex(text, &value)));
    if (!ok || value < min || value > max) {
        throw UsageError("--" + Key(name) + " must be a " + (hexAllowed ? "" : "decimal ") +
                         "number from " + std::to_string(min) + " to " + std::to_string(max) +
                         ", not '" + text + "'");
    }
    return value;
}

std::string Args::InputAt(size_t index) const {
    return index < positional_.size() ? positional_[index] : std::string("-");
}

void Args::ExpectPositional(size_t min, size_t max) const {
    if (positional_.size() < min) throw UsageError("missing argument");
    if (positional_.size() > max) {
        throw UsageError("unexpected argument '" + positional_[max] + "'");
    }
}

std::string InputName(const std::string& path) {
    return path.empty() || path == "-" ? std::string("standard input") : "'" + path + "'";
}

std::string ReadInput(const std::string& path) {
    InputFile file(path);
    std::string data;
    std::vector<char> buffer(65536);
    size_t n;
    while ((n = file.Read(buffer.data(), buffer.size())) > 0) data.append(buffer.data(), n);
    return data;
}

FILE* OpenInput(const std::string& path) {
    if (path.empty() || path == "-") return stdin;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw InputError("cannot open '" + path + "': " + std::strerror(errno));
    }
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        throw InputError("cannot read '" + path + "': " + std::strerror(EISDIR));
    }
    return file;
}

void CloseInput(FILE* file) {
    if (file != nullptr && file != stdin) std::fclose(file);
}

size_t ReadPiece(FILE* file, void* buffer, size_t size, const std::string& path) {
    const size_t n = std::fread(buffer, 1, size, file);
    if (n == 0 && std::ferror(file)) {
        throw InputError("cannot read " + InputName(path) + ": " + std::strerror(errno));
    }
    return n;
}

InputFile::InputFile(const std::string& path) : path_(path), file_(OpenInput(path)) {}

InputFile::~InputFile() { CloseInput(file_); }

size_t InputFile::Read(void* buffer, size_t size) { return ReadPiece(file_, buffer, size, path_); }

void WriteOutput(const void* data, size_t length) {
    if (length != 0 && std::fwrite(data, 1, length, stdout) != length) {
        throw InputError(std::string("cannot write the output: ") + std::strerror(errno));
    }
}

void WriteOutput(const std::string& bytes) { WriteOutput(bytes.data(), bytes.size()); }

int WritePieceToStdout(const char* data, int length, unsigned char*, unsigned char* handle) {
    auto* sink = reinterpret_cast<StdoutSink*>(handle);
    if (data == nullptr || length <= 0) return 0;
    if (std::fwrite(data, 1, size_t(length), stdout) != size_t(length)) {
        sink->failed = true;
        return -1;
    }
    return 0;
}

std::string Base64Decode(const std::string& text) {
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    std::string bytes(text.size() * 3 / 4 + 3, '\0');
    const int written = UnfilterData(text.data(), reinterpret_cast<unsigned char*>(&bytes[0]),
                                     static_cast<int>(text.size()), &context);
    bytes.resize(static_cast<size_t>(written));
    return bytes;
}

std::string ToHex(const unsigned char* data, size_t length, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 15];
    }
    return hex;
}

std::string FromHex(const std::string& hex, const char* what) {
    if (hex.size() % 2 != 0)
        throw UsageError(std::string(what) + " needs an even number of hex digits");
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexValue(hex[i]);
        int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) throw UsageError(std::string(what) + " is not hexadecimal");
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return bytes;
}

}  // namespace krtool
