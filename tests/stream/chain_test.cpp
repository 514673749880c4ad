// The stream process chain and the filter container: order of calls,
// status propagation, ownership and the end-of-stream callbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "platform/platform.h"

namespace {

// A journal shared by the recording stages and the callbacks of one test.
struct Journal {
    std::vector<std::string> events;
    int destroyed = 0;
};

// A stage that records its calls and returns configurable results.
class RecordingStage : public KRFilter {
public:
    RecordingStage(Journal* journal, std::string name)
        : journal_(journal), name_(std::move(name)) {}
    ~RecordingStage() override {
        journal_->events.push_back(name_ + ".destroyed");
        ++journal_->destroyed;
    }
    int Init() override {
        journal_->events.push_back(name_ + ".Init");
        return 0;
    }
    int Update(const char* data, int length) override {
        journal_->events.push_back(name_ + ".Update(" + std::string(data, size_t(length)) + ")");
        return KRStreamProcess::Update(data, length);
    }
    int Final() override {
        journal_->events.push_back(name_ + ".Final");
        return finalResult != 0 ? finalResult : KRStreamProcess::Final();
    }
    int Cancel() override {
        journal_->events.push_back(name_ + ".Cancel");
        return cancelResult;
    }
    int Reset() override {
        journal_->events.push_back(name_ + ".Reset");
        return resetResult;
    }
    std::string GetDescription() override { return name_; }
    unsigned int GetFilterType() const override { return 0; }

    int finalResult = 0;
    int cancelResult = 0;
    int resetResult = 0;

private:
    Journal* journal_;
    std::string name_;
};

struct Call {
    std::string kind;
    bool nullData;
    std::string data;
    unsigned char* source;
    unsigned char* handle;
    unsigned int level;
};
std::vector<Call> calls;

int RecordWrite(const char* data, int length, unsigned char* source, unsigned char* handle) {
    calls.push_back({"write", data == nullptr, data ? std::string(data, size_t(length)) : "",
                     source, handle, 0});
    return 0;
}
int RecordDebug(const char* data, int length, unsigned char* source, unsigned char* handle) {
    calls.push_back({"debug", data == nullptr, data ? std::string(data, size_t(length)) : "",
                     source, handle, 0});
    return 0;
}
int RecordLog(const char* text, int length, unsigned char* source, unsigned char* handle,
              unsigned int level) {
    calls.push_back({"log", text == nullptr, text ? std::string(text, size_t(length)) : "", source,
                     handle, level});
    return 7;
}
int RefuseWrite(const char*, int, unsigned char*, unsigned char*) { return 42; }

class Chain : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }

    RecordingStage* Add(const std::string& name) {
        auto* stage = new RecordingStage(&journal, name);
        container.AddProcess(stage);
        return stage;
    }
    unsigned char* Address(const void* p) {
        return reinterpret_cast<unsigned char*>(const_cast<void*>(p));
    }

    Journal journal;
    KRFilterContainer container;
    unsigned char writeHandle = 0, logHandle = 0, debugHandle = 0;
};

TEST_F(Chain, EmptyContainerDropsDataAndNewStagesGetNoInit) {
    container.SetWriteCallback(RecordWrite);
    EXPECT_EQ(container.Update("abc", 3), 0);
    EXPECT_TRUE(calls.empty());
    Add("a");
    EXPECT_EQ(container.Update("x", 1), 0);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"a.Update(x)"}));
    ASSERT_EQ(calls.size(), 1u);
}

TEST_F(Chain, StagesPassPiecesThroughToTheWriteCallback) {
    RecordingStage* a = Add("a");
    RecordingStage* b = Add("b");
    container.SetWriteCallback(RecordWrite);
    container.SetWriteHandle(&writeHandle);
    EXPECT_EQ(container.GetFirstProcess(), a);
    EXPECT_EQ(container.GetLastProcess(), b);
    EXPECT_EQ(a->GetNextProcess(), b);
    EXPECT_EQ(b->GetNextProcess(), nullptr);
    EXPECT_EQ(a->GetContainer(), &container);
    EXPECT_EQ(container.GetProcessCount(), 2);

    EXPECT_EQ(container.Update("one", 3), 0);
    EXPECT_EQ(container.Update("two", 3), 0);
    EXPECT_EQ(journal.events,
              (std::vector<std::string>{"a.Init", "b.Init", "a.Update(one)", "b.Update(one)",
                                        "a.Update(two)", "b.Update(two)"}));
    ASSERT_EQ(calls.size(), 2u);
    for (const Call& call : calls) {
        EXPECT_EQ(call.source, Address(b));
        EXPECT_EQ(call.handle, &writeHandle);
    }
    EXPECT_EQ(calls[1].data, "two");

    container.SetWriteCallback(RefuseWrite);
    EXPECT_EQ(container.Update("x", 1), 42);
}

TEST_F(Chain, FinalMakesThreeEndOfStreamCalls) {
    Add("a");
    Add("b");
    container.SetWriteCallback(RecordWrite);
    container.SetLogCallback(RecordLog);
    container.SetDebugCallback(RecordDebug);
    container.SetWriteHandle(&writeHandle);
    container.SetLogHandle(&logHandle);
    container.SetDebugHandle(&debugHandle);
    EXPECT_FALSE(container.IsFinalized());
    EXPECT_EQ(container.Final(), 0);
    EXPECT_TRUE(container.IsFinalized());
    EXPECT_EQ(container.GetProcessCount(), 0);
    ASSERT_EQ(calls.size(), 3u);
    const char* kinds[] = {"write", "log", "debug"};
    unsigned char* handles[] = {&writeHandle, &logHandle, &debugHandle};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].kind, kinds[i]);
        EXPECT_TRUE(calls[i].nullData);
        EXPECT_EQ(calls[i].data, "");
        EXPECT_EQ(calls[i].source, Address(&container));
        EXPECT_EQ(calls[i].handle, handles[i]);
        EXPECT_EQ(calls[i].level, 0u);
    }

    KRFilterContainer bare;
    EXPECT_EQ(bare.Final(), 0);
}

TEST_F(Chain, FinalStopsAtTheFirstFailingStage) {
    Add("a");
    Add("b")->finalResult = -1;
    Add("c");
    container.SetWriteCallback(RecordWrite);
    EXPECT_EQ(container.Final(), -1);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"a.Final", "b.Final"}));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(container.GetProcessCount(), 2);
    EXPECT_TRUE(container.IsFinalized());
}

TEST_F(Chain, CancelStopsAtTheFirstNonZeroStage) {
    Add("a");
    Add("b")->cancelResult = 3;
    Add("c");
    EXPECT_EQ(container.Cancel(), 3);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"a.Cancel", "b.Cancel"}));
}

TEST_F(Chain, LogLevelFiltersMessagesAndShortFormReturnsTheResult) {
    container.SetLogCallback(RecordLog);
    container.SetLogHandle(&logHandle);
    container.SetLoggingLevel(2);
    EXPECT_EQ(container.LogCallback("dropped", nullptr, 3), 0);
    EXPECT_TRUE(calls.empty());
    container.SetLoggingLevel(3);
    EXPECT_EQ(container.LogCallback("kept", Address(this), 3), 7);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].data, "kept");
    EXPECT_EQ(calls[0].level, 3u);
    EXPECT_EQ(calls[0].source, Address(this));
    EXPECT_EQ(calls[0].handle, &logHandle);
    EXPECT_EQ(container.LogCallback("level zero", nullptr, 0u), 7);
    EXPECT_EQ(container.LogCallback(nullptr, nullptr, 0u), 7);
    EXPECT_TRUE(calls.back().nullData);
    EXPECT_EQ(container.GetLoggingLevel(), 3u);
    EXPECT_EQ(container.GetLogHandle(), &logHandle);
}

TEST_F(Chain, UnsetCallbacksSucceed) {
    EXPECT_EQ(container.WriteCallback("x", 1, nullptr), 0);
    EXPECT_EQ(container.LogCallback("x", 1, nullptr, 0), 0);
    EXPECT_EQ(container.DebugCallback("x", 1, nullptr), 0);
    EXPECT_EQ(container.GetWriteCallback(), nullptr);
    EXPECT_EQ(container.Init(), 0);
    EXPECT_EQ(container.GetProcessID(), int(krplatform::ProcessId()));
}

TEST_F(Chain, StreamProcessIdIsThePositionOrTheCount) {
    KRFilterContainer empty;
    RecordingStage outsider(&journal, "x");
    EXPECT_EQ(empty.GetStreamProcessID(&outsider), 0);
    RecordingStage* a = Add("a");
    RecordingStage* b = Add("b");
    RecordingStage* c = Add("c");
    EXPECT_EQ(container.GetStreamProcessID(a), 0);
    EXPECT_EQ(container.GetStreamProcessID(b), 1);
    EXPECT_EQ(container.GetStreamProcessID(c), 2);
    EXPECT_EQ(container.GetStreamProcessID(&outsider), 3);
}

TEST_F(Chain, ReplaceProcessSplicesTheNewStageIn) {
    RecordingStage* a = Add("a");
    RecordingStage* b = Add("b");
    RecordingStage* c = Add("c");
    auto* n = new RecordingStage(&journal, "n");
    container.ReplaceProcess(n, b);
    EXPECT_EQ(a->GetNextProcess(), n);
    EXPECT_EQ(n->GetNextProcess(), c);
    EXPECT_EQ(n->GetContainer(), &container);
    EXPECT_EQ(container.GetStreamProcessID(n), 1);
    EXPECT_EQ(container.GetStreamProcessID(b), 3);
    EXPECT_EQ(container.GetProcessCount(), 3);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"n.Init"}));
    EXPECT_EQ(journal.destroyed, 0);
    delete b;  // handed back to the caller

    auto* head = new RecordingStage(&journal, "h");
    container.ReplaceProcess(head, a);
    EXPECT_EQ(container.GetFirstProcess(), head);
    EXPECT_EQ(head->GetNextProcess(), n);
    auto* tail = new RecordingStage(&journal, "t");
    container.ReplaceProcess(tail, c);
    EXPECT_EQ(container.GetLastProcess(), tail);
    EXPECT_EQ(n->GetNextProcess(), tail);
    EXPECT_EQ(tail->GetNextProcess(), nullptr);
    delete a;
    delete c;
}

TEST_F(Chain, ReplaceProcessIgnoresUnknownAndNullStages) {
    RecordingStage* a = Add("a");
    RecordingStage stranger(&journal, "s");
    RecordingStage fresh(&journal, "f");
    container.ReplaceProcess(&fresh, &stranger);
    container.ReplaceProcess(nullptr, a);
    container.ReplaceProcess(&fresh, nullptr);
    KRFilterContainer empty;
    empty.ReplaceProcess(&fresh, a);
    EXPECT_TRUE(journal.events.empty());
    EXPECT_EQ(container.GetFirstProcess(), a);
    EXPECT_EQ(fresh.GetContainer(), nullptr);
}

TEST_F(Chain, ResetContainerDestroysEveryStageOnce) {
    Add("a");
    Add("b");
    container.AddProcess(nullptr);
    EXPECT_EQ(container.GetProcessCount(), 2);
    container.SetWriteCallback(RecordWrite);
    container.ResetContainer();
    EXPECT_EQ(journal.destroyed, 2);
    EXPECT_EQ(container.GetProcessCount(), 0);
    EXPECT_EQ(container.GetFirstProcess(), nullptr);
    EXPECT_EQ(container.GetLastProcess(), nullptr);
    EXPECT_EQ(container.GetWriteCallback(), RecordWrite);
    {
        KRStreamContainer scoped;
        scoped.AddProcess(new RecordingStage(&journal, "c"));
    }
    EXPECT_EQ(journal.destroyed, 3);
}

TEST_F(Chain, ResetFiltersStopsAtTheFirstFailure) {
    Add("a");
    Add("b")->resetResult = -5;
    Add("c");
    EXPECT_EQ(container.ResetFilters(), -5);
    EXPECT_EQ(journal.events, (std::vector<std::string>{"a.Reset", "b.Reset"}));
    container.Final();
    container.ResetFilters();
    EXPECT_TRUE(container.IsFinalized());
}

TEST(FilterContainer, DescriptionsAreJoinedWithCommas) {
    KRFilterContainer container;
    EXPECT_EQ(container.GetFiltersDescriptionString(), "");
    EXPECT_EQ(container.ResetFilters(), 0);
    container.AddProcess(new KRFilterBase64);
    EXPECT_EQ(container.GetFiltersDescriptionString(), "Base 64");
    container.AddProcess(new KRFilterQuotedPrintable);
    EXPECT_EQ(container.GetFiltersDescriptionString(), "Base 64, Quoted Printable");
}

TEST(StreamProcess, CopiesAndComparisons) {
    KRStreamContainer container;
    KRStreamProcess next;
    KRStreamProcess stage;
    stage.SetContainer(&container);
    stage.SetNextProcess(&next);
    stage.SetErrorMsg("broken");
    stage.GetErrorMsg() += "!";
    EXPECT_EQ(stage.GetErrorMsg(), "broken!");

    KRStreamProcess copy(stage);
    EXPECT_EQ(copy.GetContainer(), &container);
    EXPECT_EQ(copy.GetNextProcess(), nullptr);
    EXPECT_EQ(copy.GetErrorMsg(), "");

    KRStreamProcess assigned;
    assigned = stage;
    EXPECT_EQ(assigned.GetNextProcess(), &next);
    EXPECT_EQ(assigned.GetErrorMsg(), "broken!");

    EXPECT_FALSE(stage == stage);
    EXPECT_FALSE(stage == copy);

    // A stage on its own has nowhere to send data and no count to lower.
    KRStreamProcess alone;
    EXPECT_EQ(alone.Update("x", 1), 0);
    EXPECT_EQ(alone.Final(), 0);
    EXPECT_EQ(alone.Init(), 0);
    EXPECT_EQ(alone.Cancel(), 0);
}

}  // namespace
