// KRUnfilterBase64 on any bytes, fed in pieces chosen by the input: the
// decoded bytes must not depend on the cutting, must match the one-call
// buffer decoder, and must survive a trip through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "krtools/stream.h"

namespace {

int Collect(const char* data, int length, unsigned char*, unsigned char* handle) {
    if (data != nullptr && length > 0) {
        reinterpret_cast<std::string*>(handle)->append(data, size_t(length));
    }
    return 0;
}

// Runs |stage| over |text| cut into pieces whose sizes come from |sizes|;
// returns the output and leaves Final's status in |finalResult|.
std::string RunStage(KRFilter* stage, const std::string& text, const std::vector<uint8_t>& sizes,
                     int* finalResult) {
    KRFilterContainer chain;
    chain.AddProcess(stage);
    std::string out;
    chain.SetWriteCallback(Collect);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&out));
    size_t at = 0;
    for (size_t i = 0; at < text.size(); ++i) {
        size_t piece = sizes.empty() ? text.size() : sizes[i % sizes.size()];
        if (piece > text.size() - at) piece = text.size() - at;
        if (chain.Update(text.data() + at, int(piece)) != 0) std::abort();
        at += piece;
    }
    *finalResult = chain.Final();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first bytes choose the piece sizes (0 means an empty piece).
    const size_t header = data[0] % 8;
    if (size <= header) return 0;
    std::vector<uint8_t> sizes(data + 1, data + 1 + header);
    const std::string text(reinterpret_cast<const char*>(data + 1 + header), size - 1 - header);
    if (!sizes.empty() && sizes[0] == 0) sizes[0] = 1;  // at least one piece moves on

    int piecewiseFinal = 0;
    const std::string piecewise = RunStage(new KRUnfilterBase64, text, sizes, &piecewiseFinal);
    int wholeFinal = 0;
    const std::string whole = RunStage(new KRUnfilterBase64, text, {}, &wholeFinal);
    if (piecewise != whole || piecewiseFinal != wholeFinal) std::abort();

    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    std::vector<unsigned char> direct((text.size() * 6 + 7) / 8 + 1);
    const int n = UnfilterData(text.data(), direct.data(), int(text.size()), &context);
    if (std::string(direct.begin(), direct.begin() + n) != whole) std::abort();
    if ((wholeFinal == -1) != (context.bitCount == 6)) std::abort();

    int encodeFinal = 0;
    const std::string encoded = RunStage(new KRFilterBase64, whole, sizes, &encodeFinal);
    int roundFinal = 0;
    if (encodeFinal != 0 || RunStage(new KRUnfilterBase64, encoded, {}, &roundFinal) != whole ||
        roundFinal != 0) {
        std::abort();
    }
    return 0;
}
