// KRStringTokenizer: splits a text at delimiter strings and walks the tokens.
#ifndef KRTOOLS_TOKENIZER_H
#define KRTOOLS_TOKENIZER_H

#include <string>
#include <vector>

#include "krtools/exception.h"
#include "krtools/export.h"

// KRStringTokenizer splits a text into tokens at delimiters and offers a
// cursor to walk them forwards and backwards, or the whole token vector.
//
// A delimiter is a whole string, matched byte for byte; there may be several.
// Empty tokens are never produced. With include-delimiters set, every
// delimiter found also appears in the token sequence as a token of its own.
// The text is split when it is given (constructor or Tokenize); the cursor
// operations only read the result.
//
// At each position the delimiter that starts first wins. When several start
// at the same position, the shortest wins without include-delimiters and the
// longest with it (on equal length, the earlier one in the list).
//
// Empty delimiter strings would match everywhere; they are ignored (not
// stored). A tokenizer whose delimiters are all empty yields the whole text as
// one token (none when the text is empty). A text given as pointer and length
// may contain NUL bytes and is copied; a negative length is taken as 0.
//
// Failures throw KRException with rc -1, the operation's name
// ("KRStringTokenizer::GetNextToken", ...), a line feed and the message.
//
// Copies are deep. An object belongs to one thread at a time.
class KRTOOLS_API KRStringTokenizer {
public:
    // Empty text, delimiter " ": no tokens.
    KRStringTokenizer();
    // The `length` bytes at `text`, split at " ".
    KRStringTokenizer(const char* text, int length, bool includeDelimiters);
    // `text`, split at " ".
    KRStringTokenizer(const std::string& text, bool includeDelimiters);
    // The `length` bytes at `text`, split at `delimiter`.
    KRStringTokenizer(const char* text, int length, const std::string& delimiter,
                      bool includeDelimiters);
    // The `length` bytes at `text`, split at each string of `delimiters`.
    KRStringTokenizer(const char* text, int length, std::vector<std::string>& delimiters,
                      bool includeDelimiters);
    // `text`, split at `delimiter`.
    KRStringTokenizer(const std::string& text, const std::string& delimiter,
                      bool includeDelimiters);
    // `text`, split at each string of `delimiters`.
    KRStringTokenizer(const std::string& text, std::vector<std::string>& delimiters,
                      bool includeDelimiters);

    KRStringTokenizer(const KRStringTokenizer& other) = default;
    KRStringTokenizer& operator=(const KRStringTokenizer& other) = default;
    ~KRStringTokenizer() = default;

    // Each Tokenize replaces text, delimiters and tokens, splits the text and
    // returns the tokenizer's own token vector (always the same pointer). It
    // stays valid until the next split or the tokenizer's destruction and must
    // not be freed. The cursor stands before the first token afterwards.
    const std::vector<std::string>* Tokenize(const char* text, int length,
                                             const std::string& delimiter, bool includeDelimiters);
    const std::vector<std::string>* Tokenize(const char* text, int length,
                                             std::vector<std::string>& delimiters,
                                             bool includeDelimiters);
    const std::vector<std::string>* Tokenize(const std::string& text, const std::string& delimiter,
                                             bool includeDelimiters);
    const std::vector<std::string>* Tokenize(const std::string& text,
                                             std::vector<std::string>& delimiters,
                                             bool includeDelimiters);

    // Cursor operations. Each throws "String has not yet been tokenized" when
    // called while a text is being set up (only possible after a split was
    // interrupted by an exception).

    // Moves the cursor before the first token; true when there is a token.
    bool GoToBeforeFirstToken();
    // Moves the cursor after the last token; true when there is a token.
    bool GoToAfterLastToken();

    // Moves the cursor one forward (also when the result is false). When it
    // then names a token, stores it in `token` and returns true; otherwise
    // returns false and leaves `token` unchanged. Moving on past the end keeps
    // counting up (saturating at the largest int).
    bool GetNextToken(std::string& token);
    // Moves the cursor one forward; returns false when it names no token.
    // When the token is longer than `size` bytes, throws "Not enough room to
    // store token in buffer" and leaves `buffer` untouched (the cursor has
    // moved); a negative `size` always throws. Otherwise clears all `size`
    // bytes of `buffer`, copies the token to its start (NUL-terminated only
    // when `size` exceeds its length), stores its length in `*length` and
    // returns true.
    bool GetNextToken(char* buffer, int* length, int size);
    // As GetNextToken, moving the cursor one back.
    bool GetPreviousToken(std::string& token);
    bool GetPreviousToken(char* buffer, int* length, int size);

protected:
    // Sets up `text` with the delimiter " ".
    void Initialize(const std::string& text, bool includeDelimiters);
    // Sets up `text` with the one delimiter `delimiter`.
    void Initialize(const std::string& text, const std::string& delimiter, bool includeDelimiters);
    // Replaces the text and delimiters and splits the text.
    void Initialize(const std::string& text, std::vector<std::string>& delimiters,
                    bool includeDelimiters);
    // Splits the source, dropping the delimiters.
    void Tokenize();
    // Splits the source, keeping each delimiter found as a token.
    void TokenizeAndIncludeDelimiters();

    bool tokenized;
    std::vector<std::string> delimiters;
    std::vector<std::string> tokens;
    int cursor;
    std::string source;

private:
    void Split(bool includeDelimiters);
    void RequireTokenized(const char* operation) const;
    // Moves the cursor one step (saturating) and returns the token it then
    // names, or null.
    const std::string* MoveCursor(int step);
    bool MoveAndCopy(int step, std::string& token, const char* operation);
    bool MoveAndCopy(int step, char* buffer, int* length, int size, const char* operation);
};

#endif  // KRTOOLS_TOKENIZER_H
