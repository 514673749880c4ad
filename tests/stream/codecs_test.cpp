// Buffer coders, Base64 and quoted-printable filters and krtool codec commands
// against OpenSSL and Python. Global operator new is counted for the whole binary.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "krtools/bufenc.h"
#include "krtools/stream.h"
#include "stream_testutil.h"

// The replacements below pair malloc with free on purpose; GCC cannot see
// that once it inlines them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
size_t allocations = 0;

void* Counted(size_t size) { return ++allocations, std::malloc(size == 0 ? 1 : size); }
}  // namespace

void* operator new(size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new(size_t size) {
    if (void* p = Counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using namespace std::string_literals;
using namespace streamtest;

FilterContext Context(int format) {
    FilterContext context;
    FilterInit(&context, format);
    return context;
}

// Encodes `data` cut at `cuts`, checking each call against its documented room.
std::string EncodeInPieces(const std::string& data, const std::vector<size_t>& cuts, int format) {
    FilterContext context = Context(format);
    std::string text;
    ForEachPiece(data.size(), cuts, [&](size_t at, size_t length) {
        std::vector<char> out(2 * length + 8);
        int n = FilterData(reinterpret_cast<const unsigned char*>(data.data()) + at, out.data(),
                           int(length), &context);
        EXPECT_LE(size_t(n), format == KR_FILTER_FORMAT_HEX ? 2 * length : 4 * (length + 2) / 3);
        text.append(out.data(), size_t(n));
    });
    char tail[4];
    text.append(tail, size_t(FilterFinal(tail, &context)));
    EXPECT_EQ(context.bitCount, 0);
    return text;
}

// Decodes `text` cut at `cuts`; a guard byte after the documented room must stay.
std::string DecodeInPieces(const std::string& text, const std::vector<size_t>& cuts,
                           FilterContext context) {
    std::string data;
    ForEachPiece(text.size(), cuts, [&](size_t at, size_t length) {
        const size_t room = (length * 6 + 7) / 8;
        std::vector<unsigned char> out(room + 1, 0xEE);
        int n = UnfilterData(text.data() + at, out.data(), int(length), &context);
        EXPECT_LE(size_t(n), room);
        EXPECT_EQ(out[room], 0xEE) << "wrote past the documented room";
        data.append(reinterpret_cast<const char*>(out.data()), size_t(n));
    });
    return data;
}

std::string Encode(const std::string& data, const std::vector<size_t>& cuts = {}) {
    return RunStage(new KRFilterQuotedPrintable, data, cuts);
}

std::string Decode(const std::string& text, const std::vector<size_t>& cuts = {}) {
    return RunStage(new KRUnfilterQuotedPrintable, text, cuts);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(BufferCoders, FollowTheCallingRules) {
    EXPECT_EQ(std::string(Context(1).format) + Context(2).format + Context(3).format, "R64HDC");
    EXPECT_EQ(EncodeInPieces("abcd", {1}, 3) + DecodeInPieces("QUJD", {}, Context(3)), "");
    FilterContext context = Context(1);
    char out[16];
    const unsigned char in[] = {'a', 'b', 'c'};
    EXPECT_EQ(FilterData(in, out, 1, &context), 0);
    EXPECT_EQ(FilterData(in + 1, out, 1, &context), 0);
    EXPECT_EQ(FilterData(in + 2, out, 1, &context), 4);  // a group is written when complete
    EXPECT_EQ(std::string(out, 4), OpensslBase64("abc"));
    EXPECT_EQ(FilterFinal(out, &context), 0);
    EXPECT_EQ(FilterData(in, out, 1, &context), 0);
    EXPECT_EQ(context.bitCount, 8);
    EXPECT_EQ(FilterData(in, out, -1, &context), 4);  // -1 finishes like FilterFinal
    EXPECT_EQ(std::string(out, 4), OpensslBase64("a"));
    EXPECT_EQ(context.bitCount, 0);
    EXPECT_EQ(FilterData(in, out, 0, &context) + FilterData(in, out, -2, &context), 0);
}

// One byte past each encoder's largest input is refused before anything is
// read or written (the buffers here are tiny); the counts of the largest
// accepted inputs still fit an int.
TEST(BufferCoders, RefuseInputWhoseTextWouldOverflowTheCount) {
    const int64_t base64Max = (INT_MAX / 4) * 3 - 3, hexMax = INT_MAX / 2;
    const int64_t linedMax = (INT_MAX / 65) * 48;
    EXPECT_LE(4 * ((base64Max + 2) / 3), INT_MAX);
    EXPECT_LE(2 * hexMax, INT_MAX);
    EXPECT_LE(4 * ((linedMax + 2) / 3) + (linedMax + 47) / 48, INT_MAX);
    const unsigned char in[4] = {'a', 'b', 'c', 'd'};
    char out[8] = "";
    FilterContext context = Context(1);
    EXPECT_EQ(FilterData(in, out, 2, &context), 0);  // two bytes pending
    EXPECT_EQ(FilterData(in, out, static_cast<int>(base64Max + 1), &context), 0);
    EXPECT_EQ(context.bitCount, 16);
    EXPECT_EQ(FilterData(in, out, 1, &context), 4);
    context = Context(2);
    EXPECT_EQ(FilterData(in, out, static_cast<int>(hexMax + 1), &context), 0);
    EXPECT_EQ(FilterData(in, out, 2, &context), 4);
    unsigned char lined[8];
    EXPECT_EQ(FilterUnfilter(in, lined, static_cast<int>(linedMax + 1), 1), 0);
    EXPECT_EQ(FilterUnfilter(in, lined, 3, 1), 5);
}

TEST(BufferCoders, MatchOpensslAndBinasciiInAnyPiecesAndSkipNoise) {
    std::mt19937 rng(7);
    std::string data = RandomBytes(rng, 70000), noisy;
    ASSERT_EQ(EncodeInPieces(data, RandomCuts(rng, data.size(), 2500), 1), OpensslBase64(data));
    for (char c : OpensslBase64(data)) {
        noisy += c;
        if (rng() % 3 == 0) noisy += "\r\n =\x80\xFF-"[rng() % 8];
    }
    FilterContext b64 = Context(0);
    std::memcpy(b64.format, "B64", 4);
    EXPECT_EQ(DecodeInPieces(noisy, RandomCuts(rng, noisy.size(), 2000), Context(1)), data);
    EXPECT_EQ(DecodeInPieces(noisy, {}, b64), data);
    std::string hex = Python("out = binascii.hexlify(data).upper()", data);
    EXPECT_EQ(EncodeInPieces(data, {1, 17, 4000}, 2), hex);
    EXPECT_EQ(DecodeInPieces(hex, {1, 2, 3, 999}, Context(2)), data);  // odd cuts carry a digit
    EXPECT_EQ(DecodeInPieces("00abff", {}, Context(2)), std::string(1, '\0'));
    EXPECT_EQ(DecodeInPieces("0 0\nA-B:F F", {1, 4, 5, 9}, Context(2)), "\x00\xAB\xFF"s);

    // FilterUnfilter lays Base64 out as OpenSSL does: 64-column lines ending in LF.
    for (size_t length : {0, 1, 2, 3, 47, 48, 49, 96, 97, 1000}) {
        std::string bytes = RandomBytes(rng, length);
        std::vector<unsigned char> out(4 * ((length + 2) / 3) + length / 48 + 2, 0xEE);
        int n = FilterUnfilter(reinterpret_cast<const unsigned char*>(bytes.data()), out.data(),
                               int(length), 1);
        ASSERT_EQ(std::string(out.begin(), out.begin() + n), OpensslBase64Lines(bytes)) << length;
        std::vector<unsigned char> back(size_t(n) * 3 / 4 + 1);
        int m = FilterUnfilter(out.data(), back.data(), n, 0);
        EXPECT_EQ(std::string(back.begin(), back.begin() + m), bytes);
    }
    unsigned char out[8] = {};
    EXPECT_EQ(FilterUnfilter(out, out, -5, 1) + FilterUnfilter(out, out, -5, 0), 0);
}

TEST(Base64Filters, AgreeWithOpensslAndPythonInAnyPieces) {
    std::mt19937 rng(21);
    for (size_t length : {0, 1, 2, 3, 55, 56, 57, 58, 113, 114, 115, 171, 70001}) {
        SCOPED_TRACE(length);
        std::string data = RandomBytes(rng, length);
        std::string ours = RunStage(new KRFilterBase64, data, RandomCuts(rng, length, 40));
        EXPECT_EQ(ours, CrlfLines(OpensslBase64(data), 76));
        EXPECT_EQ(Python("out = base64.b64decode(data)", ours), data);
        for (const std::string& text :
             {Python("out = base64.encodebytes(data)", data), OpensslBase64Lines(data)}) {
            int rc = -9;
            EXPECT_EQ(RunStage(new KRUnfilterBase64, text, RandomCuts(rng, text.size(), 30), &rc),
                      data);
            EXPECT_EQ(rc, 0);
        }
    }
    for (size_t length : {0, 1, 2, 3, 4, 7, 11, 120}) {
        SCOPED_TRACE(length);
        std::string data = RandomBytes(rng, length);
        std::string text = CrlfLines(OpensslBase64(data), 76);
        ExpectEveryCuttingGives<KRFilterBase64>(data, text);
        ExpectEveryCuttingGives<KRUnfilterBase64>(text, data);
    }
}

TEST(KRFilterBase64, WhatUpdateAndFinalEachWrite) {
    std::mt19937 rng(8);
    const std::string line = RandomBytes(rng, 57), full = OpensslBase64(line);
    const std::string l56 = line.substr(0, 56), tail = OpensslBase64(line.substr(54, 2)) + "\r\n";
    struct Case {
        std::string input, atUpdate, atFinal;
    } cases[] = {{"abc", "YWJj", ""},       {"a", "", "YQ=="}, {"ab", "", "YWI="},
                 {line, full + "\r\n", ""}, {"", "", ""},      {l56, full.substr(0, 72), tail}};
    for (const Case& c : cases) {
        Piped piped(new KRFilterBase64);
        const int updated = piped.Update(c.input);
        const std::string atUpdate = piped.text;
        const int finished = piped.chain.Final();
        EXPECT_EQ(
            std::make_tuple(updated, atUpdate, finished, piped.text, piped.pieces, piped.ends),
            std::make_tuple(0, c.atUpdate, 0, c.atUpdate + c.atFinal,
                            int(!c.atUpdate.empty()) + int(!c.atFinal.empty()), 1));
    }
}

TEST(Encoders, ResetStartsANewLineAndRefusedOutputComesBack) {
    Piped b64(new KRFilterBase64);
    b64.Update(std::string(10, 'x'));
    b64.chain.Final();
    EXPECT_EQ(b64.chain.ResetFilters(), 0);
    b64.Update(std::string(57, 'y'));
    EXPECT_EQ(b64.text, OpensslBase64(std::string(10, 'x')) +
                            CrlfLines(OpensslBase64(std::string(57, 'y')), 76));
    b64.refuse = 9;
    EXPECT_EQ(b64.Update("a"), 0);  // nothing complete yet
    EXPECT_EQ(b64.Update("bcd"), 9);
    EXPECT_EQ(b64.chain.Final(), 9);
    Piped qp(new KRFilterQuotedPrintable);
    EXPECT_EQ(qp.Update(""), 0);
    qp.refuse = 5;
    EXPECT_EQ(qp.Update("a b"), 5);
    EXPECT_EQ(qp.Update("="), 5);
    qp.refuse = 0;
    EXPECT_EQ(qp.Update("c"), 0);
    EXPECT_EQ(qp.pieces, 1);  // the kept text goes first, in the same piece
    EXPECT_EQ(qp.text, "a=20b=3Dc");
    qp.refuse = 6;
    qp.Update("d");
    EXPECT_EQ(qp.chain.Final(), 6);
    qp.refuse = 0;
    EXPECT_EQ(qp.chain.GetFirstProcess()->Final(), 0);
    EXPECT_EQ(qp.chain.ResetFilters(), 0);
    qp.Update(std::string(70, 'A') + "BB");
    EXPECT_EQ(qp.text, "a=20b=3Dcd" + std::string(70, 'A') + "BB=\r\n");
}

TEST(KRUnfilterBase64, FailsFinalOnlyOnALoneTrailingCharacter) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"YQ==", "a", 0}, {"YWI", "ab", 0}, {"YWJjZ", "abc", -1}};
    for (const auto& [text, bytes, finalResult] : cases) {
        int rc = -9;
        EXPECT_EQ(RunStage(new KRUnfilterBase64, text, {}, &rc), bytes);
        EXPECT_EQ(rc, finalResult) << text;
    }
    Piped piped(new KRUnfilterBase64);
    EXPECT_EQ(piped.Update("\r\n=="), 0);
    EXPECT_EQ(piped.Update("Z"), 0);
    EXPECT_EQ(piped.pieces, 2);          // pieces without a whole byte are handed on empty
    EXPECT_EQ(piped.chain.Final(), -1);  // the base Final is skipped: no end, count kept
    EXPECT_EQ(piped.ends * 10 + piped.chain.GetProcessCount(), 1);
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update("YQ");
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.text, "a");
}

TEST(Filters, CopiesOwnTheirCodingContextAndDescribeThemselves) {
    Piped piped;
    // Copies and assignments made mid-stream continue the stream on their own,
    // as the original does.
    auto expectCopiesContinue = [&piped](auto original, const std::string& head,
                                         const std::string& tail, const std::string& expected,
                                         const std::string& description) {
        using Filter = decltype(original);
        original.SetContainer(&piped.chain);
        original.Update(head.data(), int(head.size()));
        Filter copy(original), assigned;
        assigned = original;
        assigned = static_cast<const Filter&>(assigned);
        for (Filter* filter : {&original, &copy, &assigned}) {
            piped.text.clear();
            filter->Update(tail.data(), int(tail.size()));
            filter->Final();
            EXPECT_EQ(piped.text, expected);
            EXPECT_EQ(filter->GetDescription() + std::to_string(filter->GetFilterType()),
                      description);
        }
    };
    expectCopiesContinue(KRFilterBase64(), "ab", "c", "YWJj", "Base 645");
    expectCopiesContinue(KRUnfilterBase64(), "YW", "Jj", "bc", "Base 645");
    const std::string line(70, 'x');
    expectCopiesContinue(KRFilterQuotedPrintable(), line, "yy=z", "yy=\r\n=3Dz",
                         "Quoted Printable4");
    expectCopiesContinue(KRUnfilterQuotedPrintable(), "a", "=3Db", "=b", "Quoted Printable4");
}

TEST(KRFilterQuotedPrintable, EscapesAndBreaksAfterColumn72InAnyPieces) {
    const std::string a71(71, 'A'), a72(72, 'A');
    const std::pair<std::string, std::string> cases[] = {
        {"a=b", "a=3Db"},     {" \t\r\n\xFF", "=20=09=0D=0A=FF"}, {"\0\x7F~!<>"s, "=00=7F~!<>"},
        {a72, a72 + "=\r\n"}, {a71 + '\0', a71 + "=00=\r\n"},     {a72 + "A", a72 + "=\r\nA"}};
    for (const auto& [data, text] : cases) EXPECT_EQ(Encode(data), text);
    std::mt19937 rng(43);
    std::string data = RandomBytes(rng, 10) + std::string(70, 'x');
    ExpectEveryCuttingGives<KRFilterQuotedPrintable>(data, Encode(data));
    KRFilterQuotedPrintable encoder;
    KRUnfilterQuotedPrintable decoder;
    EXPECT_EQ(encoder.GetDescription() + std::to_string(encoder.GetFilterType()) +
                  decoder.GetDescription() + std::to_string(decoder.GetFilterType()),
              "Quoted Printable4Quoted Printable4");
}

TEST(QuotedPrintableFilters, AgreeWithQuopriAndBinascii) {
    std::mt19937 rng(37);
    for (int round = 0; round < 4; ++round) {
        // quopri keeps line feeds as line breaks, so the data has none; its
        // pure-Python encoder quotes exactly the bytes that we quote.
        std::string data = Replace(RandomBytes(rng, 3000), "\n", "n");
        std::string ours = Encode(data, RandomCuts(rng, data.size(), 100));
        EXPECT_EQ(Replace(ours, "=\r\n", ""),
                  Python("quopri.b2a_qp = None\n"
                         "out = quopri.encodestring(data, quotetabs=True).replace(b'=\\n', b'')",
                         data));
    }
    std::string data = RandomBytes(rng, 30000);
    std::string ours = Encode(data, RandomCuts(rng, data.size(), 1000));
    EXPECT_EQ(Python("out = quopri.decodestring(data)", ours), data);
    EXPECT_EQ(Python("out = binascii.a2b_qp(data)", ours), data);
    std::vector<size_t> lineCuts;  // our decoder, fed whole lines
    for (size_t at = ours.find("\r\n"); at != std::string::npos; at = ours.find("\r\n", at + 2))
        lineCuts.push_back(at + 2);
    EXPECT_EQ(Decode(ours, lineCuts), data);
    // quopri's C encoder copies a lone CR; its line feeds become our CR LF.
    std::string noCr = Replace(data, "\r", "r");
    EXPECT_EQ(
        Decode(Python("out = quopri.encodestring(data, quotetabs=True).replace(b'\\n', b'\\r\\n')",
                      noCr)),
        Replace(noCr, "\n", "\r\n"));
}

TEST(KRUnfilterQuotedPrintable, DecodesEscapesAndSoftBreaksWithinEachPiece) {
    // Near the end of a piece, blanks after "=" are skipped only while two
    // characters follow them.
    const std::pair<std::string, std::string> cases[] = {
        {"=41=42", "AB"},        {"=4a=4A", "JJ"},          {"ab=\r\ncd", "abcd"},
        {"ab=  \r\ncd", "abcd"}, {"ab= \t \r\ncd", "abcd"}, {"line\r\nnext", "line\r\nnext"},
        {"=G1", "\0"s},          {"=4G", "\x04"},           {"abc=", "abc"},
        {"abc=4", "abc=4"},      {"abc= ", "abc= "},        {"=", ""},
        {"=  ", "\0"s},          {"=   4", "\0"s},          {"=  41", "A"}};
    for (const auto& [text, data] : cases) EXPECT_EQ(Decode(text), data) << text;
    EXPECT_EQ(Decode("ab=41", {3}), "ab41");
    Piped piped(new KRUnfilterQuotedPrintable);
    EXPECT_EQ(piped.Update("=\r\n") + piped.Update(""), 0);
    EXPECT_EQ(piped.pieces, 2);  // empty pieces are passed on
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.ends, 1);
}

int Discard(const char*, int, unsigned char*, unsigned char*) { return 0; }

TEST(Filters, AllocateNothingPerCallOnceTheirBuffersHaveGrown) {
    std::mt19937 rng(73);
    const std::string data = RandomBytes(rng, 70000), base64 = OpensslBase64(data);
    std::string qp;
    for (unsigned char c : data) qp += c % 3 == 0 ? "=3D" : "a";
    const std::pair<KRFilter*, const std::string&> cases[] = {{new KRFilterBase64, data},
                                                              {new KRUnfilterBase64, base64},
                                                              {new KRFilterQuotedPrintable, data},
                                                              {new KRUnfilterQuotedPrintable, qp}};
    for (const auto& [filter, input] : cases) {
        KRFilterContainer chain;
        chain.AddProcess(filter);
        chain.SetWriteCallback(Discard);
        chain.Update(input.data(), 65536);  // the buffers grow to the largest piece here
        const size_t before = allocations;
        for (int call = 1; call <= 80; ++call) {
            chain.Update(input.data() + rng() % 1000, int(rng() % 65536));
            if (call % 40 == 0) chain.Final(), chain.ResetFilters();
        }
        EXPECT_EQ(allocations - before, 0u) << filter->GetDescription();
    }
}

// krtool base64, qp and hex on inputs larger than the tool's 64 KiB pieces.
class KrtoolCodec : public ::testing::Test {
protected:
    // Runs "krtool ARGS < input" in a directory whose file "input" holds `input`.
    testutil::CommandResult Tool(const std::string& args, const std::string& input) {
        testutil::WriteFile(dir.File("input"), input);
        return testutil::Run("cd " + testutil::ShellQuote(dir.path()) + " && " + KRTOOL_PATH + " " +
                             args + " < input 2> stderr");
    }
    // Expects exit status `status` and one line starting "krtool: `message`";
    // returns the output.
    std::string ExpectFailure(const std::string& args, const std::string& input, int status,
                              const std::string& message) {
        testutil::CommandResult result = Tool(args, input);
        EXPECT_EQ(result.status, status) << args;
        std::string text = testutil::ReadFile(dir.File("stderr"));
        EXPECT_EQ(text.rfind("krtool: " + message, 0), 0u) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
        return result.output;
    }
    testutil::TempDir dir;
    std::mt19937 rng{61};
};

TEST_F(KrtoolCodec, Base64) {
    std::string data = RandomBytes(rng, 300000);
    testutil::CommandResult encoded = Tool("base64 --crlf input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == CrlfLines(OpensslBase64(data), 76));
    EXPECT_TRUE(Tool("base64 -d -", encoded.output).output == data);
    EXPECT_TRUE(Tool("base64 -d", Python("out = base64.encodebytes(data)", data)).output == data);
    EXPECT_EQ(ExpectFailure("base64 -d", "YWJjZ", 1,
                            "the Base64 text ends with a lone character after its last group\n"),
              "abc");
    ExpectFailure("base64 --bogus", "", 2, "");
}

TEST_F(KrtoolCodec, QuotedPrintable) {
    std::string data = RandomBytes(rng, 200000);
    testutil::CommandResult encoded = Tool("qp input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == Encode(data));
    EXPECT_TRUE(Python("out = quopri.decodestring(data)", encoded.output) == data);
    EXPECT_TRUE(Tool("qp -d", encoded.output).output == data);

    // The tool's robust decoder gives the same at its 64 KiB read boundary as
    // anywhere else: escapes, soft breaks after blanks, "=" kept where it
    // starts no escape.
    const std::pair<const char*, const char*> escapes[] = {
        {"=41", "A"}, {"=\r\n", ""}, {"=  \r\n", ""}, {"= \t 4a", "= \t 4a"}, {"==41", "=A"}};
    for (size_t before : {65533, 65534, 65535, 65536}) {
        for (const auto& [escape, decoded] : escapes) {
            std::string text = std::string(before, 'a') + escape + "z";
            ASSERT_TRUE(Tool("qp -d", text).output == std::string(before, 'a') + decoded + "z")
                << before << " " << testutil::ShellQuote(escape);
        }
    }
    // A run of blanks longer than a piece that ends in no line break is kept.
    const std::string blanks = "=" + std::string(200000, ' ') + "41";
    EXPECT_TRUE(Tool("qp -d", blanks).output == blanks);
    ExpectFailure("qp -d missing", "", 1, "cannot open 'missing'");
    ExpectFailure("qp -x", "", 2, "");
}

TEST_F(KrtoolCodec, Hex) {
    std::string data = RandomBytes(rng, 150000);
    testutil::CommandResult encoded = Tool("hex input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == Python("out = binascii.hexlify(data).upper()", data));
    EXPECT_TRUE(Tool("hex -d", encoded.output).output == data);
    EXPECT_EQ(ExpectFailure("hex -d", "00ABF", 1, "odd number of hexadecimal digits\n"),
              "\x00\xAB"s);
    ExpectFailure("hex a b", "", 2, "");
}

}  // namespace
