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

const std::vector<krtool::Option> kOptions = {
    {0, "key", "HEX", "the key in hexadecimal (des 8, 3des 24, rc2 1 to 24 bytes)"},
    {0, "iv", "HEX16", "the initial vector, 16 hexadecimal digits"},
    {0, "pad", "N", "padding 1, 2 or 3 (see above)"},
    {0, "mark-high", nullptr, "with --pad 3: the last pad byte is the count OR 0xF0"},
    {0, "rc2-bits", "N", "rc2 effective key bits, 1 to 1024 (default 8 per key byte)"},
};

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
        const long bits = args.Number("rc2-bits", 1, 1024, static_cast<long>(8 * key.size()));
        ctx.rc2KeyLen = static_cast<uint32_t>(key.size());
        ctx.rc2EffectiveBits = static_cast<uint32_t>(bits);
        setup.mode = 'R';
    } else {
        throw krtool::UsageError("unknown cipher '" + algorithm + "'");
    }
    if (algorithm != "rc2" && args.Has("--rc2-bits")) {
        throw krtool::UsageError("--rc2-bits applies to rc2 only");
    }
    const long pad = args.Number("pad", 1, 3, 0);
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

int RunCipher(const krtool::Args& args) {
    args.ExpectPositional(2, 3);
    EncryptContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    const Setup setup = ParseSetup(args, ctx);
    EncryptInit(&ctx);
    Output output(setup.decrypt && (setup.pad == 2 || setup.pad == 3));

    krtool::InputFile input(args.InputAt(2));
    std::vector<unsigned char> buffer(kChunk);
    size_t n;
    while ((n = input.Read(buffer.data(), buffer.size())) > 0) {
        int len = static_cast<int>(n);
        EncryptUpdate(&ctx, buffer.data(), &len);
        if (ctx.blockReady) output.Write(ctx.lastBlock, kBlock);
        output.Write(buffer.data(), static_cast<size_t>(len));
    }
    Finish(ctx, setup, output);
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("cipher", "DES, triple-DES or RC2 CBC encryption and decryption", kUsage,
                     kOptions, RunCipher);
