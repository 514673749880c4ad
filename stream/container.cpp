// KRStreamContainer: owns a chain of stages and the application's callbacks.
#include <algorithm>
#include <cstring>

#include "krtools/stream.h"
#include "platform/platform.h"

KRStreamContainer::KRStreamContainer()
    : processCount_(0),
      firstProcess_(nullptr),
      lastProcess_(nullptr),
      processId_(static_cast<int>(krplatform::ProcessId())),
      logCallback_(nullptr),
      debugCallback_(nullptr),
      writeCallback_(nullptr),
      writeHandle_(nullptr),
      logHandle_(nullptr),
      debugHandle_(nullptr),
      loggingLevel_(0),
      started_(false) {}

KRStreamContainer::~KRStreamContainer() { KRStreamContainer::ResetContainer(); }

void KRStreamContainer::ResetContainer() {
    // Stages are deleted from a moved-out list so that a stage destructor
    // that looks at the container sees a consistent, empty chain.
    std::vector<KRStreamProcess*> stages;
    stages.swap(processList_);
    processCount_ = 0;
    firstProcess_ = nullptr;
    lastProcess_ = nullptr;
    for (KRStreamProcess* stage : stages) delete stage;
}

void KRStreamContainer::AddProcess(KRStreamProcess* process) {
    if (process == nullptr) return;
    if (firstProcess_ == nullptr) firstProcess_ = process;
    if (lastProcess_ != nullptr) lastProcess_->SetNextProcess(process);
    process->SetContainer(this);
    lastProcess_ = process;
    ++processCount_;
    processList_.push_back(process);
}

void KRStreamContainer::ReplaceProcess(KRStreamProcess* newProcess, KRStreamProcess* oldProcess) {
    if (newProcess == nullptr || oldProcess == nullptr || processList_.empty()) return;
    auto found = std::find(processList_.begin(), processList_.end(), oldProcess);
    if (found == processList_.end()) return;
    const size_t position = size_t(found - processList_.begin());
    if (position == 0) firstProcess_ = newProcess;
    if (position == processList_.size() - 1) lastProcess_ = newProcess;
    newProcess->SetContainer(this);
    newProcess->SetNextProcess(oldProcess->GetNextProcess());
    std::replace(processList_.begin(), processList_.end(), oldProcess, newProcess);
    if (position != 0) processList_[position - 1]->SetNextProcess(newProcess);
    newProcess->Init();
}

int KRStreamContainer::Init() { return 0; }

int KRStreamContainer::Update(const char* data, int length) {
    if (!started_) {
        for (KRStreamProcess* stage : processList_) stage->Init();
        started_ = true;
    }
    if (processList_.empty()) return 0;
    return processList_.front()->Update(data, length);
}

int KRStreamContainer::Final() {
    // Index loop: a stage's Final may not change the chain, but must not be
    // able to invalidate an iterator either.
    for (size_t i = 0; i < processList_.size(); ++i) {
        int rc = processList_[i]->Final();
        if (rc != 0) return rc;
    }
    auto* self = reinterpret_cast<unsigned char*>(this);
    WriteCallback(nullptr, 0, self);
    LogCallback(nullptr, 0, self, 0);
    DebugCallback(nullptr, 0, self);
    return 0;
}

int KRStreamContainer::Cancel() {
    for (size_t i = 0; i < processList_.size(); ++i) {
        int rc = processList_[i]->Cancel();
        if (rc != 0) return rc;
    }
    return 0;
}

int KRStreamContainer::WriteCallback(const char* data, int length, unsigned char* source) {
    if (writeCallback_ == nullptr) return 0;
    return writeCallback_(data, length, source, writeHandle_);
}

int KRStreamContainer::LogCallback(const char* text, unsigned char* source, unsigned int level) {
    int length = text == nullptr ? 0 : static_cast<int>(std::strlen(text));
    return LogCallback(text, length, source, level);
}

int KRStreamContainer::LogCallback(const char* text, int length, unsigned char* source,
                                   unsigned int level) {
    if (logCallback_ == nullptr || level > loggingLevel_) return 0;
    return logCallback_(text, length, source, logHandle_, level);
}

int KRStreamContainer::DebugCallback(const char* data, int length, unsigned char* source) {
    if (debugCallback_ == nullptr) return 0;
    return debugCallback_(data, length, source, debugHandle_);
}

void KRStreamContainer::SetWriteCallback(KRWriteCallbackFunction callback) {
    writeCallback_ = callback;
}
KRWriteCallbackFunction KRStreamContainer::GetWriteCallback() const { return writeCallback_; }
void KRStreamContainer::SetWriteHandle(unsigned char* handle) { writeHandle_ = handle; }
unsigned char* KRStreamContainer::GetWriteHandle() const { return writeHandle_; }
void KRStreamContainer::SetLogCallback(KRLogCallbackFunction callback) { logCallback_ = callback; }
KRLogCallbackFunction KRStreamContainer::GetLogCallback() const { return logCallback_; }
void KRStreamContainer::SetLogHandle(unsigned char* handle) { logHandle_ = handle; }
unsigned char* KRStreamContainer::GetLogHandle() const { return logHandle_; }
void KRStreamContainer::SetDebugCallback(KRDebugCallbackFunction callback) {
    debugCallback_ = callback;
}
KRDebugCallbackFunction KRStreamContainer::GetDebugCallback() const { return debugCallback_; }
void KRStreamContainer::SetDebugHandle(unsigned char* handle) { debugHandle_ = handle; }
unsigned char* KRStreamContainer::GetDebugHandle() const { return debugHandle_; }
void KRStreamContainer::SetLoggingLevel(unsigned int level) { loggingLevel_ = level; }
unsigned int KRStreamContainer::GetLoggingLevel() const { return loggingLevel_; }

int KRStreamContainer::GetProcessCount() { return processCount_; }
void KRStreamContainer::DecreaseProcessCount() { --processCount_; }
KRStreamProcess* KRStreamContainer::GetFirstProcess() { return firstProcess_; }
KRStreamProcess* KRStreamContainer::GetLastProcess() { return lastProcess_; }
int KRStreamContainer::GetProcessID() { return processId_; }

int KRStreamContainer::GetStreamProcessID(KRStreamProcess* process) {
    auto found = std::find(processList_.begin(), processList_.end(), process);
    return static_cast<int>(found - processList_.begin());
}
