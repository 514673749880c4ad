// Content encodings on the same 1 MiB buffers: our buffer encoders and
// filter chains against OpenSSL's Base64 coder (each case also against its
// fastest form, EVP_EncodeBlock/EVP_DecodeBlock on unbroken text) and GMime's
// quoted-printable steps. Every case checks, before it is timed, that both
// sides give the same result, and a memcpy of the same size is the limit.
#include <benchmark/benchmark.h>
#include <gmime/gmime-encodings.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
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

// Base64 of the random data without line breaks.
const std::string& Base64Flat() {
    static const std::string text = [] {
        std::string flat(4 * (kSize / 3 + 2), '\0');
        int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&flat[0]), Bytes(RandomData()),
                                int(kSize));
        flat.resize(size_t(n));
        return flat;
    }();
    return text;
}

// The same text in 76-column CR LF lines, as our filter lays it out: a CR LF
// ends every full line.
const std::string& Base64Lines76() {
    static const std::string text = [] {
        const std::string& flat = Base64Flat();
        std::string lines;
        for (size_t at = 0; at < flat.size(); at += 76) {
            lines.append(flat, at, 76);
            if (at + 76 <= flat.size()) lines += "\r\n";
        }
        return lines;
    }();
    return text;
}

std::string WithoutLineBreaks(const char* text, size_t length) {
    std::string flat;
    for (size_t i = 0; i < length; ++i)
        if (text[i] != '\r' && text[i] != '\n') flat += text[i];
    return flat;
}

// Stops the program when the two sides of a case disagree: a ratio between
// different results means nothing.
void Require(bool same, const char* what) {
    if (!same) {
        std::fprintf(stderr, "%s: ours and the peer give different results\n", what);
        std::abort();
    }
}

struct Sink {
    std::string text;
    bool keep = false;
    size_t bytes = 0;
    static int Write(const char* data, int length, unsigned char*, unsigned char* handle) {
        auto* sink = reinterpret_cast<Sink*>(handle);
        if (data != nullptr) {
            benchmark::DoNotOptimize(data[0]);
            sink->bytes += size_t(length);
            if (sink->keep) sink->text.append(data, size_t(length));
        }
        return 0;
    }
};

// Makes |chain| write into |sink|; `keep` says whether the text is kept.
void WriteInto(KRFilterContainer& chain, Sink& sink, bool keep) {
    sink.keep = keep;
    chain.SetWriteCallback(Sink::Write);
    chain.SetWriteHandle(reinterpret_cast<unsigned char*>(&sink));
}

void Finish(benchmark::State& state, const char* target) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kSize));
    if (target != nullptr) state.SetLabel(std::string("target=") + target);
}

// --- Base64 without line breaks ----------------------------------------------

int OurEncode(char* out) {
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    int n = FilterData(Bytes(RandomData()), out, int(kSize), &context);
    return n + FilterFinal(out + n, &context);
}

int OurDecode(const std::string& text, unsigned char* out) {
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    return UnfilterData(text.data(), out, int(text.size()), &context);
}

void EncodeBlockOurs(benchmark::State& state) {
    std::vector<char> out(4 * (kSize / 3 + 2));
    const int n = OurEncode(out.data());
    Require(std::string(out.data(), size_t(n)) == Base64Flat(), "base64_encode_block");
    for (auto _ : state) {
        benchmark::DoNotOptimize(OurEncode(out.data()));
        benchmark::ClobberMemory();
    }
    Finish(state, "14");
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

// Decodes |text| with our decoder after checking it gives the random data.
void DecodeOurs(benchmark::State& state, const std::string* text, const char* target) {
    std::vector<unsigned char> out(text->size());
    const int n = OurDecode(*text, out.data());
    Require(std::string(out.begin(), out.begin() + n) == RandomData(), "base64 decode");
    for (auto _ : state) {
        benchmark::DoNotOptimize(OurDecode(*text, out.data()));
        benchmark::ClobberMemory();
    }
    Finish(state, target);
}

// EVP_DecodeBlock on the unbroken text: OpenSSL's fastest decoder.
void DecodeBlockPeer(benchmark::State& state) {
    const std::string& text = Base64Flat();
    std::vector<unsigned char> out(text.size());
    const int n = EVP_DecodeBlock(out.data(), Bytes(text), int(text.size()));
    Require(n >= int(kSize) && std::memcmp(out.data(), RandomData().data(), kSize) == 0,
            "EVP_DecodeBlock");
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), Bytes(text), int(text.size())));
        benchmark::ClobberMemory();
    }
    Finish(state, nullptr);
}

int PeerDecodeUpdate(EVP_ENCODE_CTX* ctx, const std::string& text, unsigned char* out) {
    int n = 0, tail = 0;
    EVP_DecodeInit(ctx);
    if (EVP_DecodeUpdate(ctx, out, &n, Bytes(text), int(text.size())) < 0) return -1;
    if (EVP_DecodeFinal(ctx, out + n, &tail) < 0) return -1;
    return n + tail;
}

// EVP_DecodeUpdate on the same 76-column CR LF text as ours.
void DecodeUpdatePeer(benchmark::State& state) {
    const std::string& text = Base64Lines76();
    std::vector<unsigned char> out(text.size());
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    const int n = PeerDecodeUpdate(ctx, text, out.data());
    Require(std::string(out.begin(), out.begin() + std::max(n, 0)) == RandomData(),
            "EVP_DecodeUpdate");
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeerDecodeUpdate(ctx, text, out.data()));
        benchmark::ClobberMemory();
    }
    EVP_ENCODE_CTX_free(ctx);
    Finish(state, nullptr);
}

// --- The Base64 filter chain (76-column CR LF lines) ---------------------------

void FilterChainOurs(benchmark::State& state, const char* target) {
    KRFilterContainer chain;
    chain.AddProcess(new KRFilterBase64);
    Sink sink;
    WriteInto(chain, sink, true);
    chain.Update(RandomData().data(), int(kSize));
    chain.Final();
    Require(sink.text == Base64Lines76(), "base64 filter layout");
    Require(WithoutLineBreaks(sink.text.data(), sink.text.size()) == Base64Flat(),
            "base64_filter_chain");
    sink.keep = false;
    for (auto _ : state) {
        chain.ResetFilters();
        chain.Update(RandomData().data(), int(kSize));
        chain.Final();
    }
    benchmark::DoNotOptimize(sink.bytes);
    Finish(state, target);
}

// EVP_EncodeUpdate's own layout (64 columns, LF); the text without line
// breaks is the same as ours.
void EncodeUpdatePeer(benchmark::State& state) {
    std::vector<unsigned char> out(kSize * 2);
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    auto encode = [&] {
        int n = 0, tail = 0;
        EVP_EncodeInit(ctx);
        EVP_EncodeUpdate(ctx, out.data(), &n, Bytes(RandomData()), int(kSize));
        EVP_EncodeFinal(ctx, out.data() + n, &tail);
        return n + tail;
    };
    const int n = encode();
    Require(WithoutLineBreaks(reinterpret_cast<char*>(out.data()), size_t(n)) == Base64Flat(),
            "EVP_EncodeUpdate");
    for (auto _ : state) {
        benchmark::DoNotOptimize(encode());
        benchmark::ClobberMemory();
    }
    EVP_ENCODE_CTX_free(ctx);
    Finish(state, nullptr);
}

// --- Quoted-printable ----------------------------------------------------------
// The two encoders lay out soft line breaks and escapes differently, so their
// texts differ (GMime also writes the input's CR LF as a bare LF line end);
// each side's text must decode, through GMime's decoder, to the input with
// its line ends as LF, and the size of each text is shown as out_octets.

std::string LineEndsAsLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// Our encoder's text of the mail-like data.
const std::string& QpText() {
    static const std::string text = [] {
        KRFilterContainer chain;
        chain.AddProcess(new KRFilterQuotedPrintable);
        Sink sink;
        WriteInto(chain, sink, true);
        chain.Update(TextData().data(), int(kSize));
        chain.Final();
        return sink.text;
    }();
    return text;
}

std::string PeerQpDecode(const std::string& text) {
    std::string out(text.size(), '\0');
    GMimeEncoding decoder;
    g_mime_encoding_init_decode(&decoder, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    size_t n = g_mime_encoding_quoted_decode_step(Bytes(text), text.size(),
                                                  reinterpret_cast<unsigned char*>(&out[0]),
                                                  &decoder.state, &decoder.save);
    out.resize(n);
    return out;
}

size_t PeerQpEncode(unsigned char* out) {
    GMimeEncoding encoder;
    g_mime_encoding_init_encode(&encoder, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return g_mime_encoding_quoted_encode_close(Bytes(TextData()), kSize, out, &encoder.state,
                                               &encoder.save);
}

void QpEncodeOurs(benchmark::State& state) {
    Require(LineEndsAsLf(PeerQpDecode(QpText())) == LineEndsAsLf(TextData()), "qp_encode (ours)");
    KRFilterContainer chain;
    chain.AddProcess(new KRFilterQuotedPrintable);
    Sink sink;
    WriteInto(chain, sink, false);
    for (auto _ : state) {
        chain.ResetFilters();
        chain.Update(TextData().data(), int(kSize));
        chain.Final();
    }
    benchmark::DoNotOptimize(sink.bytes);
    state.counters["out_octets"] = double(QpText().size());
    Finish(state, "1.5");
}

void QpEncodePeer(benchmark::State& state) {
    std::vector<unsigned char> out(GMIME_QP_ENCODE_LEN(kSize));
    const size_t n = PeerQpEncode(out.data());
    Require(LineEndsAsLf(PeerQpDecode(std::string(out.begin(), out.begin() + n))) ==
                LineEndsAsLf(TextData()),
            "qp_encode (peer)");
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeerQpEncode(out.data()));
        benchmark::ClobberMemory();
    }
    state.counters["out_octets"] = double(n);
    Finish(state, nullptr);
}

void QpDecodeOurs(benchmark::State& state) {
    const std::string& text = QpText();
    KRFilterContainer chain;
    chain.AddProcess(new KRUnfilterQuotedPrintable);
    Sink sink;
    WriteInto(chain, sink, true);
    chain.Update(text.data(), int(text.size()));
    Require(sink.text == PeerQpDecode(text), "qp_decode");
    sink.keep = false;
    for (auto _ : state) {
        chain.Update(text.data(), int(text.size()));
    }
    benchmark::DoNotOptimize(sink.bytes);
    Finish(state, "1.0");
}

void QpDecodePeer(benchmark::State& state) {
    const std::string& text = QpText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeerQpDecode(text));
        benchmark::ClobberMemory();
    }
    Finish(state, nullptr);
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("memcpy", benchutil::Memcpy, kSize);
    benchmark::RegisterBenchmark("base64_encode_block/ours", EncodeBlockOurs);
    benchmark::RegisterBenchmark("base64_encode_block/peer", EncodeBlockPeer);
    benchmark::RegisterBenchmark("base64_decode_block/ours", DecodeOurs, &Base64Flat(), "15");
    benchmark::RegisterBenchmark("base64_decode_block/peer", DecodeBlockPeer);
    // Line-broken text against OpenSSL's fastest decoder on the same data
    // without breaks, and against its line decoder on the same text.
    benchmark::RegisterBenchmark("base64_decode_lines/ours", DecodeOurs, &Base64Lines76(), "5");
    benchmark::RegisterBenchmark("base64_decode_lines/peer", DecodeBlockPeer);
    benchmark::RegisterBenchmark("base64_decode_lines_update/ours", DecodeOurs, &Base64Lines76(),
                                 "2.0");
    benchmark::RegisterBenchmark("base64_decode_lines_update/peer", DecodeUpdatePeer);
    benchmark::RegisterBenchmark("base64_filter_chain/ours", FilterChainOurs, "3.5");
    benchmark::RegisterBenchmark("base64_filter_chain/peer", EncodeBlockPeer);
    benchmark::RegisterBenchmark("base64_filter_chain_update/ours", FilterChainOurs, "1.5");
    benchmark::RegisterBenchmark("base64_filter_chain_update/peer", EncodeUpdatePeer);
    benchmark::RegisterBenchmark("qp_encode/ours", QpEncodeOurs);
    benchmark::RegisterBenchmark("qp_encode/peer", QpEncodePeer);
    benchmark::RegisterBenchmark("qp_decode/ours", QpDecodeOurs);
    benchmark::RegisterBenchmark("qp_decode/peer", QpDecodePeer);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
