// krtool cipher: DES, triple-DES or RC2 in CBC mode through the cipher context.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "krtools/des.h"

namespace {

const char kUsage[] =
    "usage: krtool cipher des|3des|rc2 encrypt|decrypt --key HEX --iv HEX\n"
    "                     [--pad 1|2|3] [--mark-high] [--rc2-bits N] [FILE|-]\n"
    "\n"
    "Encrypts or decrypts FILE (default standard input) in CBC mode and writes\n"
    "the result to standard output. Keys: des 8 bytes, 3des 24 bytes (keys 1,\n"
    "2, 3), rc2 1 to 24 bytes with N effective key bits (default 8 per key\n"
    "byte). The IV is 8 bytes.\n"
    "\n"
    "Padding on encryption: without --pad or with --pad 1 a trailing partial\n"
    "block is filled with zero bytes; --pad 2 fills with zeros and ends with\n"
    "the pad count (1 to 8), --pad 3 fills with '0' and ends with the count as\n"
    "a digit (with --mark-high: the count OR 0xF0); both add a whole block when\n"
    "the input ends on a block boundary. On decryption --pad 2 and --pad 3\n"
    "check and remove that padding; otherwise nothing is removed.\n";

constexpr size_t kChunk = 65536;
constexpr size_t kBlock = 8;

struct Setup {
    char mode = 0;
    bool decrypt = false;
    int pad = 0;  // 0: no --pad given
    bool markHigh = false;
};

// Writes the output; when the padding is to be removed, the last block is
// held back until the end of the input.
class Output {
public:
    explicit Output(bool holdLastBlock) : hold_(holdLastBlock) {}

    void Write(const unsigned char* data, size_t n) {
        if (!hold_) {
            krtool::WriteOutput(data, n);
            return;
        }
        tail_.insert(tail_.end(), data, data + n);
        if (tail_.size() > kBlock) {
            const size_t ready = tail_.size() - kBlock;
            krtool::WriteOutput(tail_.data(), ready);
            tail_.erase(tail_.begin(), tail_.begin() + static_cast<long>(ready));
        }
    }

    const std::vector<unsigned char>& Tail() const { return tail_; }

private:
    bool hold_;
    std::vector<unsigned char> tail_;
};

// The number of pad bytes at the end of the last plaintext block, or 0 when
// the block does not end in valid padding of `padMode` (2 or 3).
size_t PadLength(const unsigned char* block, int padMode) {
    const unsigned last = block[kBlock - 1];
    const unsigned count = padMode == 2 ? last : (last & 0x0f);
    if (count < 1 || count > kBlock) return 0;
    if (padMode == 3 && (last & 0xf0) != 0x30 && (last & 0xf0) != 0xf0) return 0;
    const unsigned char fill = padMode == 2 ? 0 : '0';
    for (size_t i = kBlock - count; i < kBlock - 1; ++i) {
        if (block[i] != fill) return 0;
    }
    return count;
}

Setup ParseSetup(const krtool::Args& args, EncryptContext& ctx) {
    const auto& pos = args.Positional();
    const std::string& algorithm = pos[0];
    const std::string& direction = pos[1];
    Setup setup;
    if (direction != "encrypt" && direction != "decrypt") {
        throw krtool::UsageError("direction must be encrypt or decrypt, not '" + direction + "'");
    }
    setup.decrypt = direction == "decrypt";
    const std::string key = krtool::FromHex(args.Require("--key"), "--key");
    const std::string iv = krtool::FromHex(args.Require("--iv"), "--iv");
    if (iv.size() != kBlock) throw krtool::UsageError("--iv needs 8 bytes (16 hex digits)");
    if (algorithm == "des") {
        if (key.size() != 8) throw krtool::UsageError("des needs an 8-byte key");
        setup.mode = 'D';
    } else if (algorithm == "3des") {
        if (key.size() != 24) throw krtool::UsageError("3des needs a 24-byte key");
        setup.mode = 'T';
    } else if (algorithm == "rc2") {
        if (key.empty() || key.size() > sizeof ctx.key) {
            throw krtool::UsageError("rc2 needs a key of 1 to 24 bytes");
        }
        const long bits = args.GetLong("--rc2-bits", static_cast<long>(8 * key.size()));
        if (bits < 1 || bits > 1024) throw krtool::UsageError("--rc2-bits must be 1 to 1024");
        ctx.rc2KeyLen = static_cast<uint32_t>(key.size());
        ctx.rc2EffectiveBits = static_cast<uint32_t>(bits);
        setup.mode = 'R';
    } else {
        throw krtool::UsageError("unknown cipher '" + algorithm + "'");
    }
    if (algorithm != "rc2" && args.Has("--rc2-bits")) {
        throw krtool::UsageError("--rc2-bits applies to rc2 only");
    }
    const long pad = args.GetLong("--pad", 0);
    if (args.Has("--pad") && (pad < 1 || pad > 3))
        throw krtool::UsageError("--pad must be 1, 2 or 3");
    setup.pad = static_cast<int>(pad);
    setup.markHigh = args.Has("--mark-high");
    if (setup.decrypt) setup.mode = static_cast<char>(setup.mode - 'A' + 'a');
    std::memcpy(ctx.key, key.data(), key.size());
    std::memcpy(ctx.iv, iv.data(), kBlock);
    ctx.mode = setup.mode;
    return setup;
}

void Finish(EncryptContext& ctx, const Setup& setup, Output& output) {
    if (!setup.decrypt) {
        EncryptFinal(&ctx, setup.pad == 0 ? 1 : setup.pad, setup.markHigh ? 1 : 0);
        if (ctx.blockReady) output.Write(ctx.lastBlock, kBlock);
        return;
    }
    if (ctx.partialCount != 0) {
        throw krtool::InputError("ciphertext length is not a multiple of 8");
    }
    if (setup.pad != 2 && setup.pad != 3) return;
    const auto& tail = output.Tail();
    if (tail.size() != kBlock) throw krtool::InputError("ciphertext has no padding block");
    const size_t padLength = PadLength(tail.data(), setup.pad);
    if (padLength == 0) throw krtool::InputError("bad padding (wrong key or --pad?)");
    krtool::WriteOutput(tail.data(), kBlock - padLength);
}

int RunCipher(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {"--key", "--iv", "--pad", "--rc2-bits"}, {"--mark-high"});
    args.ExpectPositional(2, 3);
    EncryptContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    const Setup setup = ParseSetup(args, ctx);
    EncryptInit(&ctx);
    Output output(setup.decrypt && (setup.pad == 2 || setup.pad == 3));

    FILE* input = krtool::OpenInput(args.Positional().size() > 2 ? args.Positional()[2] : "-");
    std::vector<unsigned char> buffer(kChunk);
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), input)) > 0) {
        int len = static_cast<int>(n);
        EncryptUpdate(&ctx, buffer.data(), &len);
        if (ctx.blockReady) output.Write(ctx.lastBlock, kBlock);
        output.Write(buffer.data(), static_cast<size_t>(len));
    }
    const bool failed = std::ferror(input) != 0;
    krtool::CloseInput(input);
    if (failed) throw krtool::InputError("cannot read the input");
    Finish(ctx, setup, output);
    return 0;
}

}  // namespace

KRTOOL_COMMAND("cipher", "DES, triple-DES or RC2 CBC encryption and decryption", kUsage, RunCipher);
