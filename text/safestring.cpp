// SafeString: a std::string wrapper that takes null pointers as empty text.
#include "krtools/safestring.h"

namespace {

std::string TextOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

SafeString Joined(const std::string& left, const std::string& right) {
    std::string joined;
    joined.reserve(left.size() + right.size());
    joined.append(left).append(right);
    return SafeString(joined);
}

}  // namespace

SafeString::SafeString(char* text) : value_(TextOf(text)) {}
SafeString::SafeString(const char* text) : value_(TextOf(text)) {}
SafeString::SafeString(std::string& text) : value_(text) {}
SafeString::SafeString(const std::string& text) : value_(text) {}
SafeString::SafeString(const SafeString& other) = default;
SafeString& SafeString::operator=(const SafeString& other) = default;
SafeString::~SafeString() = default;

std::string SafeString::stl_str() const { return value_; }
const char* SafeString::c_str() const { return value_.c_str(); }
SafeString::operator const char*() const { return value_.c_str(); }
unsigned int SafeString::size() const { return static_cast<unsigned int>(value_.size()); }

SafeString& SafeString::operator+=(SafeString& other) {
    value_ += other.value_;
    return *this;
}
SafeString& SafeString::operator+=(const SafeString& other) {
    value_ += other.value_;
    return *this;
}
SafeString& SafeString::operator+=(char* text) {
    if (text != nullptr) value_ += text;
    return *this;
}
SafeString& SafeString::operator+=(const char* text) {
    if (text != nullptr) value_ += text;
    return *this;
}
SafeString& SafeString::operator+=(std::string& text) {
    value_ += text;
    return *this;
}
SafeString& SafeString::operator+=(const std::string& text) {
    value_ += text;
    return *this;
}

SafeString SafeString::operator+(SafeString& other) const { return Joined(value_, other.value_); }
SafeString SafeString::operator+(const SafeString& other) const {
    return Joined(value_, other.value_);
}
SafeString SafeString::operator+(char* text) const { return Joined(value_, TextOf(text)); }
SafeString SafeString::operator+(const char* text) const { return Joined(value_, TextOf(text)); }
SafeString SafeString::operator+(std::string& text) const { return Joined(value_, text); }
SafeString SafeString::operator+(const std::string& text) const { return Joined(value_, text); }

void SafeString::SetValue(const std::string& text) { value_ = text; }

SafeString operator+(char* left, SafeString& right) {
    return Joined(TextOf(left), right.stl_str());
}
SafeString operator+(const char* left, SafeString& right) {
    return Joined(TextOf(left), right.stl_str());
}
SafeString operator+(std::string& left, SafeString& right) { return Joined(left, right.stl_str()); }
SafeString operator+(const std::string& left, SafeString& right) {
    return Joined(left, right.stl_str());
}
SafeString operator+(char* left, const SafeString& right) {
    return Joined(TextOf(left), right.stl_str());
}
SafeString operator+(const char* left, const SafeString& right) {
    return Joined(TextOf(left), right.stl_str());
}
SafeString operator+(std::string& left, const SafeString& right) {
    return Joined(left, right.stl_str());
}
SafeString operator+(const std::string& left, const SafeString& right) {
    return Joined(left, right.stl_str());
}
