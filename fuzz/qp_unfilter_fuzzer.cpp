// KRUnfilterQuotedPrintable on any bytes (escapes cut off at the end of a
// piece included), and the encoder's text read back by the decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "krtools/stream.h"

namespace {

int Collect(const char* data, int length, unsigned char*, unsigned char* handle) {
    if (data != nullptr && length > 0) {
        reinterpret_cast<std::string*>(handle)->append(data, size_t(length));
    }
    return 0;
}

std::string Run(KRFilter* stage, const std::string& text, size_t cut) {
    KRFilterContainer chain;
    chain.AddProcess(stage);
    std::string out;
    chain.SetWriteCallback(Collect);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&out));
    if (cut > text.size()) cut = text.size();
    // Each piece goes through a heap copy of exactly its size, so that a read
    // past the piece is caught.
    std::string first = text.substr(0, cut);
    std::string second = text.substr(cut);
    auto* a = new char[first.size() + 1];
    first.copy(a, first.size());
    auto* b = new char[second.size() + 1];
    second.copy(b, second.size());
    if (chain.Update(a, int(first.size())) != 0 || chain.Update(b, int(second.size())) != 0 ||
        chain.Final() != 0) {
        std::abort();
    }
    delete[] a;
    delete[] b;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t cut = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Each piece decodes on its own and never grows.
    const std::string decoded = Run(new KRUnfilterQuotedPrintable, text, cut);
    if (decoded.size() > text.size()) std::abort();

    // The encoder's output: the cutting does not matter, soft breaks come at
    // 72 to 74 characters, and the decoder gives the bytes back.
    const std::string encoded = Run(new KRFilterQuotedPrintable, text, cut);
    if (encoded != Run(new KRFilterQuotedPrintable, text, 0)) std::abort();
    size_t lineStart = 0;
    for (size_t at = encoded.find("=\r\n"); at != std::string::npos;
         lineStart = at + 3, at = encoded.find("=\r\n", lineStart)) {
        if (at - lineStart < 72 || at - lineStart > 74) std::abort();
    }
    if (Run(new KRUnfilterQuotedPrintable, encoded, 0) != text) std::abort();
    return 0;
}
