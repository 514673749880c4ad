// KRFilter and KRFilterContainer: the filter framework over the stream chain.
#include "krtools/stream.h"

KRFilter::KRFilter() = default;
KRFilter::KRFilter(const KRFilter& other) = default;
KRFilter& KRFilter::operator=(const KRFilter& other) = default;
KRFilter::~KRFilter() = default;

int KRFilter::Reset() { return 0; }

KRFilterContainer::KRFilterContainer() : finalized_(false) {}

KRFilterContainer::~KRFilterContainer() = default;

int KRFilterContainer::Update(const char* data, int length) {
    return KRStreamContainer::Update(data, length);
}

int KRFilterContainer::Final() {
    int rc = KRStreamContainer::Final();
    finalized_ = true;
    return rc;
}

bool KRFilterContainer::IsFinalized() { return finalized_; }

int KRFilterContainer::ResetFilters() {
    for (KRStreamProcess* stage : Processes()) {
        auto* filter = dynamic_cast<KRFilter*>(stage);
        if (filter == nullptr) continue;
        int rc = filter->Reset();
        if (rc != 0) return rc;
    }
    return 0;
}

std::string KRFilterContainer::GetFiltersDescriptionString() {
    std::string description;
    bool first = true;
    for (KRStreamProcess* stage : Processes()) {
        auto* filter = dynamic_cast<KRFilter*>(stage);
        if (filter == nullptr) continue;
        if (!first) description += ", ";
        description += filter->GetDescription();
        first = false;
    }
    return description;
}
