// SafeString and FilteredString.
//
// SafeString is a string over std::string that takes a null character
// pointer as the empty string wherever it accepts text. FilteredString holds
// the Base64 or quoted-printable encoding of a text, made at construction.
// Both hand their value out as a NUL-terminated string, a length and a copy.
#ifndef KRTOOLS_SAFESTRING_H
#define KRTOOLS_SAFESTRING_H

#include <string>

#include "krtools/export.h"

// A string that never fails on a null character pointer. The value may hold
// NUL bytes when built from a std::string. Converting constructors are
// explicit, so ordinary std::string expressions keep their meaning in code
// that includes this header.
class KRTOOLS_API SafeString {
public:
    // The NUL-terminated |text|; empty when |text| is null.
    explicit SafeString(char* text);
    explicit SafeString(const char* text);
    // A copy of |text|.
    explicit SafeString(std::string& text);
    explicit SafeString(const std::string& text);
    SafeString(const SafeString& other);
    SafeString& operator=(const SafeString& other);
    ~SafeString();

    // A copy of the value.
    std::string stl_str() const;
    // The value followed by a NUL; never null.
    const char* c_str() const;
    operator const char*() const;
    // The value's length in bytes.
    unsigned int size() const;

    // Append the other text (a null pointer appends nothing); return *this.
    SafeString& operator+=(SafeString& other);
    SafeString& operator+=(const SafeString& other);
    SafeString& operator+=(char* text);
    SafeString& operator+=(const char* text);
    SafeString& operator+=(std::string& text);
    SafeString& operator+=(const std::string& text);

    // This value followed by the other text; this object is unchanged.
    SafeString operator+(SafeString& other) const;
    SafeString operator+(const SafeString& other) const;
    SafeString operator+(char* text) const;
    SafeString operator+(const char* text) const;
    SafeString operator+(std::string& text) const;
    SafeString operator+(const std::string& text) const;

protected:
    // Replaces the value.
    void SetValue(const std::string& text);

private:
    std::string value_;
};

// The left text (empty for a null pointer) followed by the right value.
KRTOOLS_API SafeString operator+(char* left, SafeString& right);
KRTOOLS_API SafeString operator+(const char* left, SafeString& right);
KRTOOLS_API SafeString operator+(std::string& left, SafeString& right);
KRTOOLS_API SafeString operator+(const std::string& left, SafeString& right);
KRTOOLS_API SafeString operator+(char* left, const SafeString& right);
KRTOOLS_API SafeString operator+(const char* left, const SafeString& right);
KRTOOLS_API SafeString operator+(std::string& left, const SafeString& right);
KRTOOLS_API SafeString operator+(const std::string& left, const SafeString& right);

// The encoded form of a text. |filter| is a filter type number of
// krtools/stream.h: 4 (KR_FILTER_TYPE_QUOTED_PRINTABLE) gives the text's
// quoted-printable encoding, 5 (KR_FILTER_TYPE_BASE64) its Base64 encoding in lines of 76
// characters, each full line followed by CR LF. Any other number keeps the text unchanged. Never
// fails (beyond memory exhaustion, which std::string reports by throwing).
class KRTOOLS_API FilteredString {
public:
    // The NUL-terminated |text|; a null |text| counts as empty.
    FilteredString(char* text, int filter);
    FilteredString(const char* text, int filter);
    // The whole of |text|.
    FilteredString(std::string& text, int filter);
    FilteredString(const std::string& text, int filter);
    // The |length| bytes at |data|; a negative length or null |data| counts
    // as empty.
    FilteredString(char* data, int length, int filter);
    FilteredString(const char* data, int length, int filter);
    // The first |length| bytes of |text|, never more than its size; a
    // negative length counts as empty.
    FilteredString(std::string& text, int length, int filter);
    FilteredString(const std::string& text, int length, int filter);
    FilteredString(const FilteredString& other);
    FilteredString& operator=(const FilteredString& other);
    ~FilteredString();

    // A copy of the value.
    std::string stl_str() const;
    // The value followed by a NUL; never null.
    const char* c_str() const;
    operator const char*() const;
    // The value's length in bytes.
    unsigned int size() const;

protected:
    // Sets the value to |input| encoded as |filter| says.
    void DoFilter(const std::string& input, int filter);

private:
    std::string value_;
};

#endif  // KRTOOLS_SAFESTRING_H
