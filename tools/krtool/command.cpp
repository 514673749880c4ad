// The krtool command framework: registry, arguments and I/O helpers.
#include "command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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

}  // namespace

Registrar::Registrar(const Command& command) {
    auto& commands = Registry();
    auto at = std::lower_bound(
        commands.begin(), commands.end(), command,
        [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    commands.insert(at, command);
}

const std::vector<Command>& Commands() { return Registry(); }

Args::Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
           const std::set<std::string>& flags) {
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= argv.size()) throw UsageError("option " + name + " needs a value");
                value = argv[++i];
            }
            values_[name] = value;
            present_.insert(name);
        } else if (flags.count(name) && !inlineValue) {
            present_.insert(name);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
}

bool Args::Has(const std::string& name) const { return present_.count(name) != 0; }

std::string Args::Get(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

std::string Args::Require(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) throw UsageError("missing option " + name);
    return it->second;
}

long Args::GetLong(const std::string& name, long fallback) const {
    auto it = values_.find(name);
    if (it == values_.end()) return fallback;
    const std::string& text = it->second;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno == ERANGE) {
        throw UsageError("option " + name + " needs a number, not '" + text + "'");
    }
    return value;
}

void Args::ExpectPositional(size_t min, size_t max) const {
    if (positional_.size() < min) throw UsageError("missing argument");
    if (positional_.size() > max) throw UsageError("too many arguments");
}

std::string ReadInput(const std::string& path) {
    FILE* file = OpenInput(path);
    std::string data;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, n);
    bool failed = std::ferror(file) != 0;
    CloseInput(file);
    if (failed) throw InputError("cannot read " + (path.empty() ? "-" : path));
    return data;
}

FILE* OpenInput(const std::string& path) {
    if (path.empty() || path == "-") return stdin;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw InputError("cannot open " + path + ": " + std::strerror(errno));
    return file;
}

void CloseInput(FILE* file) {
    if (file != nullptr && file != stdin) std::fclose(file);
}

void WriteOutput(const void* data, size_t length) {
    if (length != 0 && std::fwrite(data, 1, length, stdout) != length) {
        throw InputError("cannot write to standard output");
    }
}

void WriteOutput(const std::string& bytes) { WriteOutput(bytes.data(), bytes.size()); }

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw InputError("cannot create " + path + ": " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) throw InputError("cannot write " + path);
}

int WritePieceToStdout(const char* data, int length, unsigned char*, unsigned char* handle) {
    auto* sink = reinterpret_cast<StdoutSink*>(handle);
    if (data == nullptr || length <= 0) return 0;
    if (std::fwrite(data, 1, size_t(length), stdout) != size_t(length)) {
        sink->failed = true;
        return -1;
    }
    return 0;
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
