// Splits random text at random delimiters and checks the tokenizer's
// invariants: no empty tokens, no token containing a delimiter, the tokens
// with delimiters included spell the text, and the cursor walks agree with
// the token vector.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "krtools/tokenizer.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckTokens(const std::string& text, const std::vector<std::string>& delimiters, bool include,
                 const std::vector<std::string>& tokens) {
    bool anyDelimiter = false;
    for (const auto& d : delimiters) anyDelimiter = anyDelimiter || !d.empty();
    std::string joined;
    for (const auto& token : tokens) {
        Check(!token.empty());
        joined += token;
        if (include) continue;
        for (const auto& d : delimiters) Check(d.empty() || token.find(d) == std::string::npos);
    }
    if (include || !anyDelimiter) Check(joined == text);
}

void CheckCursor(KRStringTokenizer& tokenizer, const std::vector<std::string>& tokens,
                 FuzzedDataProvider& provider) {
    std::string token;
    tokenizer.GoToBeforeFirstToken();
    for (const auto& expected : tokens) {
        Check(tokenizer.GetNextToken(token) && token == expected);
    }
    Check(!tokenizer.GetNextToken(token));
    Check(tokenizer.GoToAfterLastToken() == !tokens.empty());
    const int size = provider.ConsumeIntegralInRange<int>(-2, 16);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) + 1 : 1, '#');
    for (size_t i = tokens.size(); i-- > 0;) {
        int length = -1;
        try {
            Check(tokenizer.GetPreviousToken(buffer.data(), &length, size));
            Check(static_cast<size_t>(length) == tokens[i].size());
            Check(tokens[i].compare(0, tokens[i].size(), buffer.data(), tokens[i].size()) == 0);
        } catch (const KRException&) {
            Check(size < 0 || tokens[i].size() > static_cast<size_t>(size));
        }
        Check(buffer.back() == '#');
    }
    int length = 0;
    Check(!tokenizer.GetPreviousToken(buffer.data(), &length, size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const bool include = provider.ConsumeBool();
    std::vector<std::string> delimiters(provider.ConsumeIntegralInRange<size_t>(0, 4));
    for (auto& d : delimiters) d = provider.ConsumeRandomLengthString(6);
    const std::string text = provider.ConsumeRandomLengthString(4096);

    KRStringTokenizer tokenizer(text.data(), static_cast<int>(text.size()), delimiters, include);
    const std::vector<std::string>* tokens = tokenizer.Tokenize(text, delimiters, include);
    CheckTokens(text, delimiters, include, *tokens);
    const std::vector<std::string> copy = *tokens;
    CheckCursor(tokenizer, copy, provider);
    return 0;
}
