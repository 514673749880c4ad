// KRStringTokenizer: splitting and the token cursor.
#include "krtools/tokenizer.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultDelimiter = " ";
constexpr const char* kNotTokenized = "String has not yet been tokenized";
constexpr const char* kNoRoom = "Not enough room to store token in buffer";
constexpr const char* kNextToken = "KRStringTokenizer::GetNextToken";
constexpr const char* kPreviousToken = "KRStringTokenizer::GetPreviousToken";

std::string TextOf(const char* text, int length) {
    if (text == nullptr || length <= 0) {
        return std::string();
    }
    return std::string(text, static_cast<size_t>(length));
}

// Finds, from a position on, the delimiter that starts first. Each
// delimiter's next occurrence is remembered, so the text is searched for each
// delimiter in one forward sweep in all.
class DelimiterFinder {
public:
    DelimiterFinder(const std::string& text, const std::vector<std::string>& delimiters,
                    bool preferLongest)
        : text_(text),
          delimiters_(delimiters),
          preferLongest_(preferLongest),
          next_(delimiters.size()) {
        for (size_t i = 0; i < delimiters.size(); ++i) {
            next_[i] = text.find(delimiters[i]);
        }
    }

    // The index of the winning delimiter at or after `from`, with its start in
    // `*start`; -1 when no delimiter occurs any more.
    int Find(size_t from, size_t* start) {
        int best = -1;
        for (size_t i = 0; i < delimiters_.size(); ++i) {
            if (next_[i] != std::string::npos && next_[i] < from) {
                next_[i] = text_.find(delimiters_[i], from);
            }
            if (next_[i] == std::string::npos) {
                continue;
            }
            if (best < 0 || Beats(i, static_cast<size_t>(best))) {
                best = static_cast<int>(i);
            }
        }
        if (best >= 0) {
            *start = next_[static_cast<size_t>(best)];
        }
        return best;
    }

private:
    bool Beats(size_t candidate, size_t best) const {
        if (next_[candidate] != next_[best]) {
            return next_[candidate] < next_[best];
        }
        const size_t a = delimiters_[candidate].size();
        const size_t b = delimiters_[best].size();
        return preferLongest_ ? a > b : a < b;
    }

    const std::string& text_;
    const std::vector<std::string>& delimiters_;
    const bool preferLongest_;
    std::vector<size_t> next_;
};

}  // namespace

KRStringTokenizer::KRStringTokenizer() : tokenized(false), cursor(-1) {
    Initialize(std::string(), false);
}

KRStringTokenizer::KRStringTokenizer(const char* text, int length, bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(TextOf(text, length), includeDelimiters);
}

KRStringTokenizer::KRStringTokenizer(const std::string& text, bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(text, includeDelimiters);
}

KRStringTokenizer::KRStringTokenizer(const char* text, int length, const std::string& delimiter,
                                     bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(TextOf(text, length), delimiter, includeDelimiters);
}

KRStringTokenizer::KRStringTokenizer(const char* text, int length,
                                     std::vector<std::string>& delimiterList,
                                     bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(TextOf(text, length), delimiterList, includeDelimiters);
}

KRStringTokenizer::KRStringTokenizer(const std::string& text, const std::string& delimiter,
                                     bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(text, delimiter, includeDelimiters);
}

KRStringTokenizer::KRStringTokenizer(const std::string& text,
                                     std::vector<std::string>& delimiterList,
                                     bool includeDelimiters)
    : tokenized(false), cursor(-1) {
    Initialize(text, delimiterList, includeDelimiters);
}

const std::vector<std::string>* KRStringTokenizer::Tokenize(const char* text, int length,
                                                            const std::string& delimiter,
                                                            bool includeDelimiters) {
    Initialize(TextOf(text, length), delimiter, includeDelimiters);
    return &tokens;
}

const std::vector<std::string>* KRStringTokenizer::Tokenize(const char* text, int length,
                                                            std::vector<std::string>& delimiterList,
                                                            bool includeDelimiters) {
    Initialize(TextOf(text, length), delimiterList, includeDelimiters);
    return &tokens;
}

const std::vector<std::string>* KRStringTokenizer::Tokenize(const std::string& text,
                                                            const std::string& delimiter,
                                                            bool includeDelimiters) {
    Initialize(text, delimiter, includeDelimiters);
    return &tokens;
}

const std::vector<std::string>* KRStringTokenizer::Tokenize(const std::string& text,
                                                            std::vector<std::string>& delimiterList,
                                                            bool includeDelimiters) {
    Initialize(text, delimiterList, includeDelimiters);
    return &tokens;
}

void KRStringTokenizer::Initialize(const std::string& text, bool includeDelimiters) {
    Initialize(text, std::string(kDefaultDelimiter), includeDelimiters);
}

void KRStringTokenizer::Initialize(const std::string& text, const std::string& delimiter,
                                   bool includeDelimiters) {
    std::vector<std::string> one{delimiter};
    Initialize(text, one, includeDelimiters);
}

void KRStringTokenizer::Initialize(const std::string& text, std::vector<std::string>& delimiterList,
                                   bool includeDelimiters) {
    tokenized = false;
    // Copy first: `text` or the list may alias this tokenizer's own fields.
    std::string newSource = text;
    std::vector<std::string> newDelimiters;
    for (const std::string& delimiter : delimiterList) {
        if (!delimiter.empty()) {
            newDelimiters.push_back(delimiter);
        }
    }
    source.swap(newSource);
    delimiters.swap(newDelimiters);
    tokens.clear();
    if (includeDelimiters) {
        TokenizeAndIncludeDelimiters();
    } else {
        Tokenize();
    }
}

void KRStringTokenizer::Tokenize() { Split(false); }

void KRStringTokenizer::TokenizeAndIncludeDelimiters() { Split(true); }

void KRStringTokenizer::Split(bool includeDelimiters) {
    tokens.clear();
    DelimiterFinder finder(source, delimiters, includeDelimiters);
    const size_t length = source.size();
    size_t position = 0;
    while (position < length) {
        size_t start = length;
        const int found = finder.Find(position, &start);
        if (start > position) {
            tokens.push_back(source.substr(position, start - position));
        }
        if (found < 0) {
            break;
        }
        const std::string& delimiter = delimiters[static_cast<size_t>(found)];
        if (includeDelimiters) {
            tokens.push_back(delimiter);
        }
        position = start + delimiter.size();
    }
    tokenized = true;
    cursor = -1;
}

void KRStringTokenizer::RequireTokenized(const char* operation) const {
    if (!tokenized) {
        throw KRException(-1, operation, kNotTokenized);
    }
}

bool KRStringTokenizer::GoToBeforeFirstToken() {
    RequireTokenized("KRStringTokenizer::GoToBeforeFirstToken");
    cursor = -1;
    return !tokens.empty();
}

bool KRStringTokenizer::GoToAfterLastToken() {
    RequireTokenized("KRStringTokenizer::GoToAfterLastToken");
    cursor = static_cast<int>(tokens.size());
    return !tokens.empty();
}

const std::string* KRStringTokenizer::MoveCursor(int step) {
    if (step > 0) {
        cursor = cursor == INT_MAX ? cursor : cursor + 1;
    } else {
        cursor = cursor == INT_MIN ? cursor : cursor - 1;
    }
    if (cursor < 0 || static_cast<size_t>(cursor) >= tokens.size()) {
        return nullptr;
    }
    return &tokens[static_cast<size_t>(cursor)];
}

bool KRStringTokenizer::MoveAndCopy(int step, std::string& token, const char* operation) {
    RequireTokenized(operation);
    const std::string* found = MoveCursor(step);
    if (found == nullptr) {
        return false;
    }
    token = *found;
    return true;
}

bool KRStringTokenizer::MoveAndCopy(int step, char* buffer, int* length, int size,
                                    const char* operation) {
    RequireTokenized(operation);
    const std::string* found = MoveCursor(step);
    if (found == nullptr) {
        return false;
    }
    if (size < 0 || found->size() > static_cast<size_t>(size)) {
        throw KRException(-1, operation, kNoRoom);
    }
    std::memset(buffer, 0, static_cast<size_t>(size));
    std::memcpy(buffer, found->data(), found->size());
    *length = static_cast<int>(found->size());
    return true;
}

bool KRStringTokenizer::GetNextToken(std::string& token) {
    return MoveAndCopy(1, token, kNextToken);
}

bool KRStringTokenizer::GetNextToken(char* buffer, int* length, int size) {
    return MoveAndCopy(1, buffer, length, size, kNextToken);
}

bool KRStringTokenizer::GetPreviousToken(std::string& token) {
    return MoveAndCopy(-1, token, kPreviousToken);
}

bool KRStringTokenizer::GetPreviousToken(char* buffer, int* length, int size) {
    return MoveAndCopy(-1, buffer, length, size, kPreviousToken);
}
