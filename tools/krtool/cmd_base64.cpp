// krtool base64: Base64 encoding and decoding through the library's filters.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/stream.h"

namespace {

const char kUsage[] =
    "usage: krtool base64 [-d] [-w COLS | --crlf] [FILE|-]\n"
    "\n"
    "Encodes FILE (default standard input) as Base64 text in lines of COLS\n"
    "characters (default 76), each ended by a line feed; with -w 0 everything\n"
    "is on one line without a line end, as coreutils' base64 writes it; empty\n"
    "input gives empty output. --crlf writes the library's own\n"
    "form instead: lines of 76 characters ended by CR LF, where a last line\n"
    "shorter than 76 characters has no line end. With -d, decodes Base64 text:\n"
    "characters outside the alphabet (line breaks, blanks, \"=\") are skipped.\n"
    "The input is read in pieces of 64 KiB, so any size is handled in bounded\n"
    "memory.\n";

const std::vector<krtool::Option> kOptions = {
    {'d', "decode", nullptr, "decode Base64 text instead of encoding"},
    {'w', "wrap", "COLS", "encoded line length, 0 to 1000000 (default 76; 0: one line)"},
    {0, "crlf", nullptr, "encode in 76-character lines ended by CR LF (no final line end)"},
};

// Rewraps the filter's CR LF lines into lines of `columns` characters ended
// by LF (one line when `columns` is 0).
class Wrapper {
public:
    explicit Wrapper(long columns) : columns_(static_cast<size_t>(columns)) {}

    static int Write(const char* data, int length, unsigned char*, unsigned char* handle) {
        auto* self = reinterpret_cast<Wrapper*>(handle);
        for (int i = 0; i < length && !self->failed_; ++i) {
            if (data[i] != '\r' && data[i] != '\n') self->Put(data[i]);
        }
        return self->failed_ ? -1 : 0;
    }

    void Finish() {
        if (column_ != 0 && columns_ != 0) Put('\n', true);
        Flush();
    }
    bool Failed() const { return failed_; }

private:
    void Put(char c, bool isLineEnd = false) {
        line_ += c;
        if (!isLineEnd && ++column_ == columns_) {
            line_ += '\n';
            column_ = 0;
        }
        if (line_.size() >= 65536) Flush();
    }
    void Flush() {
        if (!line_.empty() && std::fwrite(line_.data(), 1, line_.size(), stdout) != line_.size())
            failed_ = true;
        line_.clear();
    }

    size_t columns_;
    size_t column_ = 0;
    std::string line_;
    bool failed_ = false;
};

int RunBase64(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const bool decode = args.Has("decode");
    if (args.Has("crlf") && (decode || args.Has("wrap"))) {
        throw krtool::UsageError("--crlf goes with encoding and without -w");
    }
    const bool wrap = !decode && !args.Has("crlf");
    Wrapper wrapper(args.Number("wrap", 0, 1000000, 76));
    krtool::StdoutSink output;

    KRFilterContainer chain;
    chain.AddProcess(decode ? static_cast<KRFilter*>(new KRUnfilterBase64)
                            : static_cast<KRFilter*>(new KRFilterBase64));
    chain.SetWriteCallback(wrap ? Wrapper::Write : krtool::WritePieceToStdout);
    chain.SetWriteHandle(wrap ? reinterpret_cast<unsigned char*>(&wrapper)
                              : reinterpret_cast<unsigned char*>(&output));

    krtool::InputFile input(args.InputAt(0));
    std::vector<char> piece(65536);
    size_t n;
    int rc = 0;
    while (rc == 0 && (n = input.Read(piece.data(), piece.size())) > 0) {
        rc = chain.Update(piece.data(), int(n));
    }
    if (rc == 0) rc = chain.Final();
    if (wrap) wrapper.Finish();
    if (output.failed || wrapper.Failed()) throw krtool::InputError("cannot write the output");
    if (rc != 0) {
        throw krtool::InputError("the Base64 text ends with a lone character after its last group");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("base64", "Base64 encoding and decoding", kUsage, kOptions, RunBase64);
