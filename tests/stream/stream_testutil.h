// Helpers shared by the stream tests: random data and independent encoders.
#ifndef KRTOOLS_TESTS_STREAM_TESTUTIL_H
#define KRTOOLS_TESTS_STREAM_TESTUTIL_H

#include <openssl/evp.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "testutil.h"

namespace streamtest {

inline std::string RandomBytes(std::mt19937& rng, size_t length) {
    std::string data(length, '\0');
    for (char& c : data) c = char(rng() & 0xFF);
    return data;
}

// Base64 of `data` in one line with "=" padding, by OpenSSL.
inline std::string OpensslBase64(const std::string& data) {
    std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
    int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(data.data()),
                            int(data.size()));
    return std::string(out.begin(), out.begin() + n);
}

// Base64 of `data` in OpenSSL's streaming layout: 64-column lines ending in LF.
inline std::string OpensslBase64Lines(const std::string& data) {
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    std::vector<unsigned char> out(data.size() * 2 + 80);
    int n = 0, tail = 0;
    EVP_EncodeInit(ctx);
    EVP_EncodeUpdate(ctx, out.data(), &n, reinterpret_cast<const unsigned char*>(data.data()),
                     int(data.size()));
    EVP_EncodeFinal(ctx, out.data() + n, &tail);
    EVP_ENCODE_CTX_free(ctx);
    return std::string(out.begin(), out.begin() + n + tail);
}

// Runs a Python snippet with the bytes `input` bound to `data`; the snippet
// leaves its result (bytes) in `out`. Fails the test when Python fails.
inline std::string Python(const std::string& snippet, const std::string& input) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("in"), input);
    testutil::WriteFile(dir.File("script.py"),
                        "import sys, base64, quopri, binascii\n"
                        "data = open(sys.argv[1], 'rb').read()\n" +
                            snippet + "\nopen(sys.argv[2], 'wb').write(out)\n");
    testutil::CommandResult result = testutil::Run(
        "python3 " + testutil::ShellQuote(dir.File("script.py")) + " " +
        testutil::ShellQuote(dir.File("in")) + " " + testutil::ShellQuote(dir.File("out")));
    EXPECT_EQ(result.status, 0) << snippet;
    return result.status == 0 ? testutil::ReadFile(dir.File("out")) : std::string();
}

// Collects what a chain writes; counts the pieces and end-of-stream calls.
struct Sink {
    std::string text;
    int pieces = 0;
    int ends = 0;
    int refuse = 0;  // status the write callback returns for data pieces

    static int Write(const char* data, int length, unsigned char*, unsigned char* handle) {
        auto* sink = reinterpret_cast<Sink*>(handle);
        if (data == nullptr) {
            ++sink->ends;
            return 0;
        }
        if (sink->refuse != 0) return sink->refuse;
        ++sink->pieces;
        sink->text.append(data, size_t(length));
        return 0;
    }
    void Attach(KRStreamContainer& container) {
        container.SetWriteCallback(Write);
        container.SetWriteHandle(reinterpret_cast<unsigned char*>(this));
    }
};

// A filter container holding one stage, writing into a Sink.
struct Piped {
    KRFilterContainer chain;
    Sink sink;
    explicit Piped(KRFilter* stage) {
        chain.AddProcess(stage);
        sink.Attach(chain);
    }
    int Update(const std::string& text) { return chain.Update(text.data(), int(text.size())); }
};

// Feeds `input` through a fresh container holding `stage`, cut at `cuts`
// (ascending offsets), then Final. Returns the output; `finalResult` gets
// Final's status.
inline std::string RunStage(KRFilter* stage, const std::string& input,
                            const std::vector<size_t>& cuts, int* finalResult = nullptr) {
    KRFilterContainer container;
    container.AddProcess(stage);
    Sink sink;
    sink.Attach(container);
    size_t start = 0;
    for (size_t cut : cuts) {
        EXPECT_EQ(container.Update(input.data() + start, int(cut - start)), 0);
        start = cut;
    }
    EXPECT_EQ(container.Update(input.data() + start, int(input.size() - start)), 0);
    int rc = container.Final();
    if (finalResult != nullptr) *finalResult = rc;
    return sink.text;
}

// Random ascending cut points inside [0, size].
inline std::vector<size_t> RandomCuts(std::mt19937& rng, size_t size, size_t averagePiece) {
    std::vector<size_t> cuts;
    for (size_t at = rng() % (averagePiece + 1); at < size; at += rng() % (2 * averagePiece + 1))
        cuts.push_back(at);
    return cuts;
}

}  // namespace streamtest

#endif  // KRTOOLS_TESTS_STREAM_TESTUTIL_H
