// Content encodings on the same 1 MiB buffers: our buffer encoders and
// filter chains against OpenSSL's Base64 coder and GMime's quoted-printable
// steps.
#include <benchmark/benchmark.h>
#include <gmime/gmime-encodings.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "krtools/stream.h"

namespace {

constexpr size_t kSize = 1 << 20;

const std::string& RandomData() {
    static const std::string data = [] {
        std::mt19937 rng(1);
        std::string bytes(kSize, '\0');
        for (char& c : bytes) c = char(rng() & 0xFF);
        return bytes;
    }();
    return data;
}

// Mail-like text: words, blanks and line breaks, with one byte in ten
// outside ASCII.
const std::string& TextData() {
    static const std::string data = [] {
        std::mt19937 rng(2);
        std::string text;
        size_t column = 0;
        while (text.size() < kSize) {
            unsigned r = rng() % 100;
            char c = r < 10 ? char(0xC0 + rng() % 60) : r < 25 ? ' ' : char('a' + rng() % 26);
            if (++column > 70 && c == ' ') {
                text += "\r\n";
                column = 0;
            } else {
                text += c;
            }
        }
        text.resize(kSize);
        return text;
    }();
    return data;
}

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Base64 of the random data in 76-column CR LF lines (our filter's layout).
const std::string& Base64Lines76() {
    static const std::string text = [] {
        std::vector<char> flat(4 * (kSize / 3 + 2));
        int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(flat.data()), Bytes(RandomData()),
                                int(kSize));
        std::string lines;
        for (int at = 0; at < n; at += 76) {
            lines.append(flat.data() + at, size_t(std::min(76, n - at)));
            lines += "\r\n";
        }
        return lines;
    }();
    return text;
}

// The same data in OpenSSL's own layout: 64-column lines ending in LF.
const std::string& Base64Lines64() {
    static const std::string text = [] {
        EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
        std::vector<unsigned char> out(kSize * 2);
        int n = 0, tail = 0;
        EVP_EncodeInit(ctx);
        EVP_EncodeUpdate(ctx, out.data(), &n, Bytes(RandomData()), int(kSize));
        EVP_EncodeFinal(ctx, out.data() + n, &tail);
        EVP_ENCODE_CTX_free(ctx);
        return std::string(out.begin(), out.begin() + n + tail);
    }();
    return text;
}

struct Sink {
    size_t bytes = 0;
    static int Write(const char* data, int length, unsigned char*, unsigned char* handle) {
        auto* sink = reinterpret_cast<Sink*>(handle);
        if (data != nullptr) {
            benchmark::DoNotOptimize(data[0]);
            sink->bytes += size_t(length);
        }
        return 0;
    }
};

void Finish(benchmark::State& state, const char* target) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
    if (target != nullptr) state.SetLabel(std::string("target=") + target);
}

// --- Base64 block encoding ---------------------------------------------------

void EncodeBlockOurs(benchmark::State& state) {
    std::vector<char> out(4 * (kSize / 3 + 2));
    for (auto _ : state) {
        FilterContext context;
        FilterInit(&context, KR_FILTER_FORMAT_BASE64);
        int n = FilterData(Bytes(RandomData()), out.data(), int(kSize), &context);
        n += FilterFinal(out.data() + n, &context);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Finish(state, "1.5");
}

void EncodeBlockPeer(benchmark::State& state) {
    std::vector<unsigned char> out(4 * (kSize / 3 + 2) + 1);
    for (auto _ : state) {
        int n = EVP_EncodeBlock(out.data(), Bytes(RandomData()), int(kSize));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Finish(state, nullptr);
}

// --- Base64 decoding of line-broken text -------------------------------------

void DecodeLinesOurs(benchmark::State& state) {
    const std::string& text = Base64Lines76();
    std::vector<unsigned char> out(text.size());
    for (auto _ : state) {
        FilterContext context;
        FilterInit(&context, KR_FILTER_FORMAT_BASE64);
        int n = UnfilterData(text.data(), out.data(), int(text.size()), &context);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Finish(state, "2.0");
}

void DecodeLinesPeer(benchmark::State& state) {
    const std::string& text = Base64Lines64();
    std::vector<unsigned char> out(text.size());
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    for (auto _ : state) {
        int n = 0, tail = 0;
        EVP_DecodeInit(ctx);
        EVP_DecodeUpdate(ctx, out.data(), &n, Bytes(text), int(text.size()));
        EVP_DecodeFinal(ctx, out.data() + n, &tail);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    EVP_ENCODE_CTX_free(ctx);
    Finish(state, nullptr);
}

// --- The whole Base64 filter chain -------------------------------------------

void FilterChainOurs(benchmark::State& state) {
    KRFilterContainer chain;
    chain.AddProcess(new KRFilterBase64);
    Sink sink;
    chain.SetWriteCallback(Sink::Write);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&sink));
    for (auto _ : state) {
        chain.ResetFilters();
        chain.Update(RandomData().data(), int(kSize));
        chain.Final();
    }
    benchmark::DoNotOptimize(sink.bytes);
    Finish(state, "1.5");
}

void FilterChainPeer(benchmark::State& state) {
    std::vector<unsigned char> out(kSize * 2);
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    for (auto _ : state) {
        int n = 0, tail = 0;
        EVP_EncodeInit(ctx);
        EVP_EncodeUpdate(ctx, out.data(), &n, Bytes(RandomData()), int(kSize));
        EVP_EncodeFinal(ctx, out.data() + n, &tail);
        benchmark::DoNotOptimize(n + tail);
        benchmark::ClobberMemory();
    }
    EVP_ENCODE_CTX_free(ctx);
    Finish(state, nullptr);
}

// --- Quoted-printable ----------------------------------------------------------

void QpEncodeOurs(benchmark::State& state) {
    KRFilterContainer chain;
    chain.AddProcess(new KRFilterQuotedPrintable);
    Sink sink;
    chain.SetWriteCallback(Sink::Write);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&sink));
    for (auto _ : state) {
        chain.ResetFilters();
        chain.Update(TextData().data(), int(kSize));
        chain.Final();
    }
    benchmark::DoNotOptimize(sink.bytes);
    Finish(state, "1.5");
}

void QpEncodePeer(benchmark::State& state) {
    std::vector<unsigned char> out(GMIME_QP_ENCODE_LEN(kSize));
    for (auto _ : state) {
        GMimeEncoding encoder;
        g_mime_encoding_init_encode(&encoder, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
        size_t n = g_mime_encoding_quoted_encode_close(Bytes(TextData()), kSize, out.data(),
                                                       &encoder.state, &encoder.save);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Finish(state, nullptr);
}

// Our encoder's text of the mail-like data: valid input for both decoders.
const std::string& QpText() {
    static const std::string text = [] {
        KRFilterContainer chain;
        chain.AddProcess(new KRFilterQuotedPrintable);
        std::string out;
        chain.SetWriteCallback(
            [](const char* data, int length, unsigned char*, unsigned char* handle) {
                if (data != nullptr) reinterpret_cast<std::string*>(handle)->append(data, length);
                return 0;
            });
        chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&out));
        chain.Update(TextData().data(), int(kSize));
        chain.Final();
        return out;
    }();
    return text;
}

void QpDecodeOurs(benchmark::State& state) {
    const std::string& text = QpText();
    KRFilterContainer chain;
    chain.AddProcess(new KRUnfilterQuotedPrintable);
    Sink sink;
    chain.SetWriteCallback(Sink::Write);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&sink));
    for (auto _ : state) {
        chain.Update(text.data(), int(text.size()));
    }
    benchmark::DoNotOptimize(sink.bytes);
    Finish(state, "1.0");
}

void QpDecodePeer(benchmark::State& state) {
    const std::string& text = QpText();
    std::vector<unsigned char> out(text.size());
    for (auto _ : state) {
        GMimeEncoding decoder;
        g_mime_encoding_init_decode(&decoder, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
        size_t n = g_mime_encoding_quoted_decode_step(Bytes(text), text.size(), out.data(),
                                                      &decoder.state, &decoder.save);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Finish(state, nullptr);
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("base64_encode_block/ours", EncodeBlockOurs);
    benchmark::RegisterBenchmark("base64_encode_block/peer", EncodeBlockPeer);
    benchmark::RegisterBenchmark("base64_decode_lines/ours", DecodeLinesOurs);
    benchmark::RegisterBenchmark("base64_decode_lines/peer", DecodeLinesPeer);
    benchmark::RegisterBenchmark("base64_filter_chain/ours", FilterChainOurs);
    benchmark::RegisterBenchmark("base64_filter_chain/peer", FilterChainPeer);
    benchmark::RegisterBenchmark("qp_encode/ours", QpEncodeOurs);
    benchmark::RegisterBenchmark("qp_encode/peer", QpEncodePeer);
    benchmark::RegisterBenchmark("qp_decode/ours", QpDecodeOurs);
    benchmark::RegisterBenchmark("qp_decode/peer", QpDecodePeer);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
