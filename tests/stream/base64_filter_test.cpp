// KRFilterBase64 and KRUnfilterBase64, with Python's base64 module as oracle.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {

using streamtest::OpensslBase64;
using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RandomCuts;
using streamtest::RunStage;
using streamtest::Sink;

// Python's 76-column lines end in LF, the last one too; ours end in CR LF
// and a short last line has none.
std::string PythonLayout(const std::string& ours) {
    std::string text;
    for (size_t i = 0; i < ours.size(); ++i) {
        if (ours[i] == '\r' && i + 1 < ours.size() && ours[i + 1] == '\n') continue;
        text += ours[i];
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

// Every way of cutting a string of `size` bytes into pieces, as cut lists.
std::vector<std::vector<size_t>> EveryCutting(size_t size) {
    std::vector<std::vector<size_t>> all;
    const size_t inner = size > 0 ? size - 1 : 0;
    for (size_t mask = 0; mask < (size_t(1) << inner); ++mask) {
        std::vector<size_t> cuts;
        for (size_t bit = 0; bit < inner; ++bit) {
            if (mask & (size_t(1) << bit)) cuts.push_back(bit + 1);
        }
        all.push_back(cuts);
    }
    return all;
}

TEST(KRFilterBase64, MatchesPythonForManyLengths) {
    std::mt19937 rng(21);
    std::string joined;
    std::vector<std::string> inputs;
    for (size_t length : {0, 1, 2, 3, 55, 56, 57, 58, 113, 114, 115, 171, 1000, 70001}) {
        inputs.push_back(RandomBytes(rng, length));
    }
    for (const std::string& input : inputs) {
        std::string ours = RunStage(new KRFilterBase64, input, RandomCuts(rng, input.size(), 40));
        EXPECT_EQ(PythonLayout(ours), Python("out = base64.encodebytes(data)", input))
            << input.size();
        std::string flat;
        for (char c : ours) {
            if (c != '\r' && c != '\n') flat += c;
        }
        EXPECT_EQ(flat, OpensslBase64(input));
    }
}

TEST(KRFilterBase64, EveryCuttingOfSmallInputsGivesTheSameText) {
    std::mt19937 rng(4);
    for (size_t length = 0; length <= 11; ++length) {
        std::string input = RandomBytes(rng, length);
        std::string whole = RunStage(new KRFilterBase64, input, {});
        EXPECT_EQ(whole, OpensslBase64(input));
        for (const auto& cuts : EveryCutting(length)) {
            ASSERT_EQ(RunStage(new KRFilterBase64, input, cuts), whole) << length;
        }
    }
    // Around the first line end, every single cut.
    std::string input = RandomBytes(rng, 120);
    std::string whole = RunStage(new KRFilterBase64, input, {});
    for (size_t a = 0; a <= input.size(); ++a) {
        ASSERT_EQ(RunStage(new KRFilterBase64, input, {a}), whole) << a;
    }
}

TEST(KRFilterBase64, GroupsAreWrittenAtUpdateAndPaddingAtFinal) {
    struct Case {
        std::string input, atUpdate, atFinal;
    } cases[] = {{"abc", "YWJj", ""}, {"a", "", "YQ=="}, {"ab", "", "YWI="}};
    for (const Case& c : cases) {
        KRFilterContainer container;
        container.AddProcess(new KRFilterBase64);
        Sink sink;
        sink.Attach(container);
        EXPECT_EQ(container.Update(c.input.data(), int(c.input.size())), 0);
        EXPECT_EQ(sink.text, c.atUpdate);
        EXPECT_EQ(container.Final(), 0);
        EXPECT_EQ(sink.text, c.atUpdate + c.atFinal);
        EXPECT_EQ(sink.pieces, int(!c.atUpdate.empty()) + int(!c.atFinal.empty()));
    }
}

TEST(KRFilterBase64, LinesHoldSeventySixCharactersAndEndInCrLf) {
    std::mt19937 rng(8);
    std::string input = RandomBytes(rng, 57);
    KRFilterContainer container;
    container.AddProcess(new KRFilterBase64);
    Sink sink;
    sink.Attach(container);
    container.Update(input.data(), 57);
    EXPECT_EQ(sink.text, OpensslBase64(input) + "\r\n");
    container.Final();
    EXPECT_EQ(sink.pieces, 1);

    KRFilterContainer short56;
    short56.AddProcess(new KRFilterBase64);
    Sink sink56;
    sink56.Attach(short56);
    short56.Update(input.data(), 56);
    EXPECT_EQ(sink56.text.size(), 72u);
    short56.Final();
    EXPECT_EQ(sink56.text, OpensslBase64(input.substr(0, 56)) + "\r\n");

    std::string two = RandomBytes(rng, 114);
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < two.size(); ++i) everyByte.push_back(i);
    std::string text = OpensslBase64(two);
    std::string expected = text.substr(0, 76) + "\r\n" + text.substr(76) + "\r\n";
    EXPECT_EQ(RunStage(new KRFilterBase64, two, everyByte), expected);
    EXPECT_EQ(RunStage(new KRFilterBase64, two, {}), expected);
}

TEST(KRFilterBase64, EmptyStreamWritesNothingAndResetStartsANewLine) {
    KRFilterContainer container;
    auto* filter = new KRFilterBase64;
    container.AddProcess(filter);
    Sink sink;
    sink.Attach(container);
    EXPECT_EQ(container.Final(), 0);
    EXPECT_EQ(sink.pieces, 0);
    EXPECT_EQ(sink.ends, 1);

    std::string first(10, 'x');
    container.Update(first.data(), int(first.size()));
    container.Final();
    std::string firstText = sink.text;
    EXPECT_EQ(container.ResetFilters(), 0);
    std::string second(57, 'y');
    container.Update(second.data(), int(second.size()));
    EXPECT_EQ(container.Final(), 0);
    EXPECT_EQ(sink.text, firstText + OpensslBase64(second) + "\r\n");
}

TEST(KRFilterBase64, RefusedOutputStatusComesBack) {
    KRFilterContainer container;
    container.AddProcess(new KRFilterBase64);
    Sink sink;
    sink.Attach(container);
    sink.refuse = 9;
    EXPECT_EQ(container.Update("a", 1), 0);  // nothing complete yet
    EXPECT_EQ(container.Update("bcd", 3), 9);
    EXPECT_EQ(container.Final(), 9);
}

TEST(KRFilterBase64, CopiesOwnTheirCodingContext) {
    KRFilterBase64 original;
    KRStreamContainer container;
    Sink sink;
    sink.Attach(container);
    original.SetContainer(&container);
    original.Update("ab", 2);  // two bytes pending in the context
    KRFilterBase64 copy(original);
    KRFilterBase64 assigned;
    assigned = original;
    const auto& alias = assigned;
    assigned = alias;
    EXPECT_EQ(copy.GetContainer(), &container);
    for (KRFilterBase64* filter : {&original, &copy, &assigned}) {
        sink.text.clear();
        EXPECT_EQ(filter->Update("c", 1), 0);
        EXPECT_EQ(sink.text, "YWJj");
    }
    EXPECT_EQ(copy.GetDescription(), "Base 64");
    EXPECT_EQ(copy.GetFilterType(), 5u);
}

TEST(KRUnfilterBase64, DecodesPythonTextFedInAnyPieces) {
    std::mt19937 rng(17);
    for (size_t length : {0, 1, 2, 3, 4, 57, 58, 1000, 50000}) {
        std::string data = RandomBytes(rng, length);
        std::string text = Python("out = base64.encodebytes(data)", data);
        int rc = -9;
        EXPECT_EQ(RunStage(new KRUnfilterBase64, text, RandomCuts(rng, text.size(), 30), &rc),
                  data);
        EXPECT_EQ(rc, 0);
    }
    std::string data = RandomBytes(rng, 8);
    std::string text = OpensslBase64(data);
    for (const auto& cuts : EveryCutting(text.size())) {
        ASSERT_EQ(RunStage(new KRUnfilterBase64, text, cuts), data);
    }
}

TEST(KRUnfilterBase64, ReadsTheEncoderOutputBack) {
    std::mt19937 rng(23);
    std::string data = RandomBytes(rng, 100000);
    std::string text = RunStage(new KRFilterBase64, data, RandomCuts(rng, data.size(), 5000));
    EXPECT_EQ(RunStage(new KRUnfilterBase64, text, RandomCuts(rng, text.size(), 3000)), data);
    EXPECT_EQ(Python("out = base64.b64decode(data.replace(b'\\r\\n', b''))", text), data);
}

TEST(KRUnfilterBase64, SkipsNoiseAndPassesEmptyPiecesOn) {
    EXPECT_EQ(RunStage(new KRUnfilterBase64, " Y W\r\nJ j\t", {2, 5}), "abc");
    KRFilterContainer container;
    container.AddProcess(new KRUnfilterBase64);
    Sink sink;
    sink.Attach(container);
    EXPECT_EQ(container.Update("\r\n==", 4), 0);
    EXPECT_EQ(sink.pieces, 1);
    EXPECT_EQ(sink.text, "");
}

TEST(KRUnfilterBase64, FinalFailsOnlyForALoneTrailingCharacter) {
    int rc = -9;
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YQ==", {}, &rc), "a");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YWI", {}, &rc), "ab");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YWJjZ", {}, &rc), "abc");
    EXPECT_EQ(rc, -1);

    KRFilterContainer container;
    container.AddProcess(new KRUnfilterBase64);
    Sink sink;
    sink.Attach(container);
    container.Update("Z", 1);
    EXPECT_EQ(container.Final(), -1);
    EXPECT_EQ(sink.ends, 0);
    EXPECT_EQ(container.GetProcessCount(), 1);
    EXPECT_EQ(container.ResetFilters(), 0);
    container.Update("YQ", 2);
    EXPECT_EQ(container.Final(), 0);
    EXPECT_EQ(sink.text, "a");
}

TEST(KRUnfilterBase64, CopiesOwnTheirCodingContext) {
    KRStreamContainer container;
    Sink sink;
    sink.Attach(container);
    KRUnfilterBase64 original;
    original.SetContainer(&container);
    original.Update("YW", 2);  // 'a' written, 4 bits pending
    KRUnfilterBase64 copy(original);
    KRUnfilterBase64 assigned;
    assigned = original;
    const auto& alias = assigned;
    assigned = alias;
    for (KRUnfilterBase64* filter : {&original, &copy, &assigned}) {
        sink.text.clear();
        filter->Update("Jj", 2);
        EXPECT_EQ(sink.text, "bc");
    }
}

}  // namespace
