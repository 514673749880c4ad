// Helpers of the stream tests: random data, independent encoders, a collecting chain.
#ifndef KRTOOLS_TESTS_STREAM_TESTUTIL_H
#define KRTOOLS_TESTS_STREAM_TESTUTIL_H

#include <openssl/evp.h>

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

// One line of padded Base64, by OpenSSL.
inline std::string OpensslBase64(const std::string& data) {
    std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
    int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(data.data()),
                            int(data.size()));
    return std::string(out.begin(), out.begin() + n);
}

// OpenSSL's streaming layout: 64-column lines, each ending in LF.
inline std::string OpensslBase64Lines(const std::string& data) {
    std::string text;
    for (size_t at = 0; at < data.size(); at += 48)
        text += OpensslBase64(data.substr(at, 48)) + "\n";
    return text;
}

// Runs a Python snippet that turns the bytes `data` (= `input`) into the bytes `out`.
inline std::string Python(const std::string& snippet, const std::string& input) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("in"), input);
    const std::string script =
        "import sys, base64, quopri, binascii\ndata = sys.stdin.buffer.read()\n" + snippet +
        "\nsys.stdout.buffer.write(out)";
    testutil::CommandResult result = testutil::Run("python3 -c " + testutil::ShellQuote(script) +
                                                   " < " + testutil::ShellQuote(dir.File("in")));
    EXPECT_EQ(result.status, 0) << snippet;
    return result.output;
}

// A filter container that collects what it writes; it refuses data with `refuse`.
struct Piped {
    KRFilterContainer chain;
    std::string text;
    int pieces = 0, ends = 0, refuse = 0;

    explicit Piped(KRFilter* stage = nullptr) {
        if (stage != nullptr) chain.AddProcess(stage);
        chain.SetWriteCallback(Write);
        chain.SetWriteHandle(reinterpret_cast<unsigned char*>(this));
    }
    int Update(const std::string& data) { return chain.Update(data.data(), int(data.size())); }
    static int Write(const char* data, int length, unsigned char*, unsigned char* handle) {
        auto* piped = reinterpret_cast<Piped*>(handle);
        if (data == nullptr) return ++piped->ends, 0;
        if (piped->refuse != 0) return piped->refuse;
        ++piped->pieces;
        piped->text.append(data, size_t(length));
        return 0;
    }
};

// Calls feed(offset, length) for each piece of [0, size) between `cuts`.
template <typename Feed>
void ForEachPiece(size_t size, const std::vector<size_t>& cuts, Feed feed) {
    size_t start = 0;
    for (size_t end : cuts) feed(start, end - start), start = end;
    feed(start, size - start);
}

// The output of `stage` fed `input` cut at `cuts`; Final's status goes to `finalResult`.
inline std::string RunStage(KRFilter* stage, const std::string& input,
                            const std::vector<size_t>& cuts, int* finalResult = nullptr) {
    Piped piped(stage);
    ForEachPiece(input.size(), cuts, [&](size_t at, size_t length) {
        EXPECT_EQ(piped.chain.Update(input.data() + at, int(length)), 0);
    });
    int rc = piped.chain.Final();
    if (finalResult != nullptr) *finalResult = rc;
    return piped.text;
}

inline std::vector<size_t> RandomCuts(std::mt19937& rng, size_t size, size_t averagePiece) {
    std::vector<size_t> cuts;
    for (size_t at = rng() % (averagePiece + 1); at < size; at += rng() % (2 * averagePiece + 1))
        cuts.push_back(at);
    return cuts;
}

// `oneLine` in lines of `width` characters, CR LF after each full line.
inline std::string CrlfLines(const std::string& oneLine, size_t width) {
    std::string text;
    for (size_t at = 0; at < oneLine.size(); at += width) {
        text += oneLine.substr(at, width);
        if (at + width <= oneLine.size()) text += "\r\n";
    }
    return text;
}

// Fresh `Filter`s fed `input` cut at any two points, or bytewise, must give `expected`.
template <typename Filter>
void ExpectEveryCuttingGives(const std::string& input, const std::string& expected) {
    std::vector<size_t> everyByte;
    for (size_t a = 0; a <= input.size(); ++a) {
        for (size_t b = a; b <= input.size(); ++b) {
            ASSERT_EQ(RunStage(new Filter, input, {a, b}), expected) << a << "," << b;
        }
        if (a > 0 && a < input.size()) everyByte.push_back(a);
    }
    EXPECT_EQ(RunStage(new Filter, input, everyByte), expected);
}

}  // namespace streamtest

#endif  // KRTOOLS_TESTS_STREAM_TESTUTIL_H
