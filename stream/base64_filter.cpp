// KRFilterBase64 and KRUnfilterBase64: Base64 coding stages over the buffer
// encoders, with the encoder's 76-column CR LF line layout.
#include <algorithm>
#include <cstdint>
#include <new>

#include "krtools/stream.h"
#include "stream/base64/kernels.h"

namespace {

constexpr int kLineLength = 76;

// Gives a filter a fresh Base64 context, allocating one only when it has
// none; -1 when that allocation fails. The output buffer is left as it is: it
// never carries output from one call to the next, and keeping its size spares
// the next stream from growing (and clearing) it again.
int RenewContext(FilterContext*& context) {
    if (context == nullptr) context = new (std::nothrow) FilterContext;
    if (context == nullptr) return -1;
    FilterInit(context, KR_FILTER_FORMAT_BASE64);
    return 0;
}

FilterContext* CopyContext(const FilterContext* other) {
    if (other == nullptr) return nullptr;
    return new (std::nothrow) FilterContext(*other);
}

// Gives |target| its own copy of |source|'s contents (or none).
void AssignContext(FilterContext*& target, const FilterContext* source) {
    if (source == nullptr) {
        delete target;
        target = nullptr;
        return;
    }
    if (target == nullptr) target = new (std::nothrow) FilterContext;
    if (target != nullptr) *target = *source;
}

// Lengthens |buffer| to |size| bytes when it is shorter; never shortens it.
void GrowTo(std::string& buffer, int64_t size) {
    if (int64_t(buffer.size()) < size) buffer.resize(size_t(size));
}

// Bytes one encoder step may write: the rule n + 2 * lines + 4 (at least 6),
// or the exact worst case when that is larger.
int64_t EncoderRoom(int length, int column, const FilterContext& context) {
    const int64_t n = (4 * int64_t(length)) / 3;
    const int64_t lines = (column + n) / kLineLength;
    const int64_t rule = std::max<int64_t>(6, n + 2 * lines + 4);
    const int64_t pending = std::clamp(context.bitCount / 8, 0, 3);
    const int64_t chars = length < 0 ? 4 : 4 * ((pending + length) / 3);
    const int64_t exact = chars + 2 * ((column + chars) / kLineLength) + 2;
    return std::max(rule, exact);
}

}  // namespace

KRFilterBase64::KRFilterBase64() : context_(nullptr), lineLength_(kLineLength), column_(0) {
    Reset();
}

KRFilterBase64::KRFilterBase64(const KRFilterBase64& other)
    : KRFilter(other),
      context_(CopyContext(other.context_)),
      lineLength_(other.lineLength_),
      column_(other.column_),
      buffer_(other.buffer_) {}

KRFilterBase64& KRFilterBase64::operator=(const KRFilterBase64& other) {
    if (this == &other) return *this;
    KRFilter::operator=(other);
    AssignContext(context_, other.context_);
    lineLength_ = other.lineLength_;
    column_ = other.column_;
    buffer_ = other.buffer_;
    return *this;
}

KRFilterBase64::~KRFilterBase64() { delete context_; }

int KRFilterBase64::Update(const char* data, int length) { return DoFilterBase64(data, length); }

int KRFilterBase64::DoFilterBase64(const char* data, int length) {
    if (context_ == nullptr) return -1;
    GrowTo(buffer_, EncoderRoom(length, column_, *context_));
    char* const start = &buffer_[0];
    char* out = start;
    auto endLine = [&](int written) {
        if (column_ + written == lineLength_) {
            *out++ = '\r';
            *out++ = '\n';
        }
        column_ = (column_ + written) % lineLength_;
    };
    if (length < 0) {
        int written = FilterFinal(out, context_);
        out += written;
        endLine(written);
    }
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    const int bytesPerLine = lineLength_ / 4 * 3;
    for (int remaining = length; remaining > 0;) {
        if (column_ == 0 && context_->bitCount == 0 && remaining >= bytesPerLine) {
            // Whole lines from a line start with nothing pending: the groups
            // go straight to the table encoder.
            const auto encode = krtools::base64::ChosenKernels().encode;
            for (; remaining >= bytesPerLine; remaining -= bytesPerLine, in += bytesPerLine) {
                out = encode(in, size_t(bytesPerLine / 3), out);
                *out++ = '\r';
                *out++ = '\n';
            }
            context_->bitBuffer = int32_t(uint32_t(in[-4]) << 24 | uint32_t(in[-3]) << 16 |
                                          uint32_t(in[-2]) << 8 | uint32_t(in[-1]));
            continue;
        }
        int chunk = std::min(remaining, bytesPerLine - (column_ * 3) / 4);
        int written = FilterData(in, out, chunk, context_);
        in += chunk;
        remaining -= chunk;
        out += written;
        endLine(written);
    }
    if (out == start) return 0;
    return KRStreamProcess::Update(start, int(out - start));
}

int KRFilterBase64::Final() {
    int rc = DoFilterBase64(nullptr, -1);
    if (rc != 0) return rc;
    if (context_->bitCount != 0) return -1;
    return KRStreamProcess::Final();
}

int KRFilterBase64::Reset() {
    column_ = 0;
    return RenewContext(context_);
}

std::string KRFilterBase64::GetDescription() { return "Base 64"; }

unsigned int KRFilterBase64::GetFilterType() const { return KR_FILTER_TYPE_BASE64; }

KRUnfilterBase64::KRUnfilterBase64() : context_(nullptr) { Reset(); }

KRUnfilterBase64::KRUnfilterBase64(const KRUnfilterBase64& other)
    : KRFilter(other), context_(CopyContext(other.context_)), buffer_(other.buffer_) {}

KRUnfilterBase64& KRUnfilterBase64::operator=(const KRUnfilterBase64& other) {
    if (this == &other) return *this;
    KRFilter::operator=(other);
    AssignContext(context_, other.context_);
    buffer_ = other.buffer_;
    return *this;
}

KRUnfilterBase64::~KRUnfilterBase64() { delete context_; }

int KRUnfilterBase64::Update(const char* data, int length) {
    if (context_ == nullptr) return -1;
    GrowTo(buffer_, (3 * int64_t(std::max(length, 0))) / 4 + 4);
    int written =
        UnfilterData(data, reinterpret_cast<unsigned char*>(&buffer_[0]), length, context_);
    return KRStreamProcess::Update(buffer_.data(), written);
}

int KRUnfilterBase64::Final() {
    // Six bits left over mean a lone character after the last full group;
    // the 2 or 4 fill bits of a padded last group are fine.
    if (context_ != nullptr && context_->bitCount == 6) return -1;
    return KRStreamProcess::Final();
}

int KRUnfilterBase64::Reset() { return RenewContext(context_); }

std::string KRUnfilterBase64::GetDescription() { return "Base 64"; }

unsigned int KRUnfilterBase64::GetFilterType() const { return KR_FILTER_TYPE_BASE64; }
