// FilteredString: a text encoded through one of the content filters.
#include <algorithm>

#include "krtools/safestring.h"
#include "krtools/stream.h"

namespace {

// Write callback of the filter chain: appends each piece to the string that
// the handle names.
int AppendPiece(const char* data, int length, unsigned char* /*source*/, unsigned char* handle) {
    if (handle == nullptr) return -1;
    if (length <= 0) return 0;
    reinterpret_cast<std::string*>(handle)->append(data, size_t(length));
    return 0;
}

std::string TextOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

std::string BytesOf(const char* data, int length) {
    if (data == nullptr || length <= 0) return std::string();
    return std::string(data, size_t(length));
}

std::string PrefixOf(const std::string& text, int length) {
    if (length <= 0) return std::string();
    return text.substr(0, std::min(text.size(), size_t(length)));
}

KRFilter* NewEncoder(int filter) {
    if (filter == KR_FILTER_TYPE_QUOTED_PRINTABLE) return new KRFilterQuotedPrintable;
    if (filter == KR_FILTER_TYPE_BASE64) return new KRFilterBase64;
    return nullptr;
}

}  // namespace

FilteredString::FilteredString(char* text, int filter) { DoFilter(TextOf(text), filter); }
FilteredString::FilteredString(const char* text, int filter) { DoFilter(TextOf(text), filter); }
FilteredString::FilteredString(std::string& text, int filter) { DoFilter(text, filter); }
FilteredString::FilteredString(const std::string& text, int filter) { DoFilter(text, filter); }
FilteredString::FilteredString(char* data, int length, int filter) {
    DoFilter(BytesOf(data, length), filter);
}
FilteredString::FilteredString(const char* data, int length, int filter) {
    DoFilter(BytesOf(data, length), filter);
}
FilteredString::FilteredString(std::string& text, int length, int filter) {
    DoFilter(PrefixOf(text, length), filter);
}
FilteredString::FilteredString(const std::string& text, int length, int filter) {
    DoFilter(PrefixOf(text, length), filter);
}
FilteredString::FilteredString(const FilteredString& other) = default;
FilteredString& FilteredString::operator=(const FilteredString& other) = default;
FilteredString::~FilteredString() = default;

std::string FilteredString::stl_str() const { return value_; }
const char* FilteredString::c_str() const { return value_.c_str(); }
FilteredString::operator const char*() const { return value_.c_str(); }
unsigned int FilteredString::size() const { return static_cast<unsigned int>(value_.size()); }

void FilteredString::DoFilter(const std::string& input, int filter) {
    value_.clear();
    KRFilter* encoder = NewEncoder(filter);
    if (encoder == nullptr) {
        value_ = input;
        return;
    }
    KRFilterContainer container;
    container.AddProcess(encoder);
    container.SetWriteCallback(AppendPiece);
    container.SetWriteHandle(reinterpret_cast<unsigned char*>(&value_));
    // Pieces larger than an int can count go in parts; the encoders give the
    // same text for any cutting of their input.
    constexpr size_t kMaxPiece = size_t(1) << 30;
    size_t offset = 0;
    do {
        size_t piece = std::min(kMaxPiece, input.size() - offset);
        container.Update(input.data() + offset, static_cast<int>(piece));
        offset += piece;
    } while (offset < input.size());
    container.Final();
}
