// KRStreamProcess: one stage of a stream process chain.
#include "krtools/stream.h"

KRStreamProcess::KRStreamProcess() : container_(nullptr), nextProcess_(nullptr) {}

KRStreamProcess::KRStreamProcess(const KRStreamProcess& other)
    : container_(nullptr), nextProcess_(nullptr) {
    KRStreamProcess::CopyMembers(other);
}

KRStreamProcess& KRStreamProcess::operator=(const KRStreamProcess& other) {
    errorMsg_ = other.errorMsg_;
    container_ = other.container_;
    nextProcess_ = other.nextProcess_;
    return *this;
}

KRStreamProcess::~KRStreamProcess() = default;

int KRStreamProcess::Init() { return 0; }

int KRStreamProcess::Update(const char* data, int length) {
    if (nextProcess_ != nullptr) return nextProcess_->Update(data, length);
    if (container_ != nullptr) {
        return container_->WriteCallback(data, length, reinterpret_cast<unsigned char*>(this));
    }
    return 0;
}

int KRStreamProcess::Final() {
    if (container_ != nullptr) container_->DecreaseProcessCount();
    return 0;
}

int KRStreamProcess::Cancel() { return 0; }

bool KRStreamProcess::operator==(const KRStreamProcess& other) { return Equals(other); }

void KRStreamProcess::SetContainer(KRStreamContainer* container) { container_ = container; }

KRStreamContainer* KRStreamProcess::GetContainer() const { return container_; }

void KRStreamProcess::SetNextProcess(KRStreamProcess* next) { nextProcess_ = next; }

KRStreamProcess* KRStreamProcess::GetNextProcess() { return nextProcess_; }

void KRStreamProcess::SetErrorMsg(const std::string& message) { errorMsg_ = message; }

std::string& KRStreamProcess::GetErrorMsg() { return errorMsg_; }

void KRStreamProcess::CopyMembers(const KRStreamProcess& other) { container_ = other.container_; }

bool KRStreamProcess::Equals(const KRStreamProcess& /*other*/) { return false; }
