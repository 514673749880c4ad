// The stream process chain and the filter container: order of calls, status
// propagation, ownership and the end-of-stream callbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "krtools/stream.h"

namespace {

using Events = std::vector<std::string>;

// A filter that journals its calls and returns the results it is told to.
class Recorder : public KRFilter {
public:
    Recorder(Events* journal, std::string name) : journal_(journal), name_(std::move(name)) {}
    ~Recorder() override { Note("destroyed"); }
    int Init() override { return Note("Init"); }
    int Update(const char* data, int length) override {
        Note("Update(" + std::string(data, size_t(length)) + ")");
        return KRStreamProcess::Update(data, length);
    }
    int Final() override {
        return Note("Final", finalResult) != 0 ? finalResult : KRStreamProcess::Final();
    }
    int Cancel() override { return Note("Cancel", cancelResult); }
    int Reset() override { return Note("Reset", resetResult); }
    std::string GetDescription() override { return name_; }
    unsigned int GetFilterType() const override { return 0; }

    int finalResult = 0, cancelResult = 0, resetResult = 0;

private:
    int Note(const std::string& what, int result = 0) {
        journal_->push_back(name_ + "." + what);
        return result;
    }
    Events* journal_;
    std::string name_;
};

// Every callback call, as "kind:data:source:handle:level".
Events calls;
unsigned char* containerAddress = nullptr;

int Record(const char* kind, const char* data, int length, unsigned char* source,
           unsigned char* handle, unsigned level = 0) {
    calls.push_back(std::string(kind) + ":" + (data ? std::string(data, size_t(length)) : "null") +
                    ":" + (source == containerAddress ? "container" : "stage") + ":" +
                    reinterpret_cast<const char*>(handle) + ":" + std::to_string(level));
    return 0;
}
int Write(const char* d, int n, unsigned char* s, unsigned char* h) {
    Record("write", d, n, s, h);
    return d != nullptr && std::string(d, size_t(n)) == "refuse" ? 42 : 0;
}
int Debug(const char* d, int n, unsigned char* s, unsigned char* h) {
    return Record("debug", d, n, s, h);
}
int Log(const char* d, int n, unsigned char* s, unsigned char* h, unsigned level) {
    return Record("log", d, n, s, h, level) + 7;
}

class Chain : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        containerAddress = reinterpret_cast<unsigned char*>(&container);
        container.SetWriteCallback(Write);
        container.SetLogCallback(Log);
        container.SetDebugCallback(Debug);
        container.SetWriteHandle(reinterpret_cast<unsigned char*>(const_cast<char*>("w")));
        container.SetLogHandle(reinterpret_cast<unsigned char*>(const_cast<char*>("l")));
        container.SetDebugHandle(reinterpret_cast<unsigned char*>(const_cast<char*>("d")));
    }
    Recorder* Add(const std::string& name) {
        auto* stage = new Recorder(&journal, name);
        container.AddProcess(stage);
        return stage;
    }

    Events journal;
    KRFilterContainer container;
};

TEST_F(Chain, UpdateInitsOnceAndPassesPiecesThrough) {
    EXPECT_EQ(container.Update("dropped", 7), 0);  // empty chain: started, nothing written
    Recorder* a = Add("a");
    Recorder* b = Add("b");
    EXPECT_EQ(container.GetFirstProcess(), a);
    EXPECT_EQ(container.GetLastProcess(), b);
    EXPECT_EQ(a->GetNextProcess(), b);
    EXPECT_EQ(b->GetContainer(), &container);
    EXPECT_EQ(container.Update("one", 3), 0);
    EXPECT_EQ(container.Update("refuse", 6), 42);
    EXPECT_EQ(journal,
              (Events{"a.Update(one)", "b.Update(one)", "a.Update(refuse)", "b.Update(refuse)"}));
    EXPECT_EQ(calls, (Events{"write:one:stage:w:0", "write:refuse:stage:w:0"}));

    KRFilterContainer fresh;
    fresh.AddProcess(new Recorder(&journal, "c"));
    journal.clear();
    fresh.Update("x", 1);
    fresh.Update("y", 1);
    EXPECT_EQ(journal, (Events{"c.Init", "c.Update(x)", "c.Update(y)"}));
}

TEST_F(Chain, FinalSignalsTheEndThroughEveryCallbackAndLogLevelFilters) {
    Add("a");
    Add("b");
    EXPECT_FALSE(container.IsFinalized());
    EXPECT_EQ(container.Final(), 0);
    EXPECT_TRUE(container.IsFinalized());
    EXPECT_EQ(container.GetProcessCount(), 0);
    EXPECT_EQ(calls, (Events{"write:null:container:w:0", "log:null:container:l:0",
                             "debug:null:container:d:0"}));
    KRFilterContainer bare;  // no callbacks at all
    EXPECT_EQ(bare.Final(), 0);

    calls.clear();
    container.SetLoggingLevel(2);
    EXPECT_EQ(container.LogCallback("dropped", nullptr, 3), 0);
    container.SetLoggingLevel(3);
    EXPECT_EQ(container.LogCallback("kept", containerAddress, 3), 7);
    container.SetLogCallback(nullptr);
    EXPECT_EQ(container.LogCallback("unset", 5, nullptr, 0), 0);
    EXPECT_EQ(calls, (Events{"log:kept:container:l:3"}));
}

TEST_F(Chain, FinalAndCancelStopAtTheFirstFailingStage) {
    Add("a");
    Add("b")->finalResult = -1;
    Add("c")->cancelResult = 3;
    Add("d");
    EXPECT_EQ(container.Final(), -1);
    EXPECT_TRUE(container.IsFinalized());
    EXPECT_EQ(container.GetProcessCount(), 3);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(container.Cancel(), 3);
    EXPECT_EQ(journal, (Events{"a.Final", "b.Final", "a.Cancel", "b.Cancel", "c.Cancel"}));
}

TEST_F(Chain, ReplaceProcessSplicesTheNewStageInAndIdsFollow) {
    Recorder stranger(&journal, "s");
    EXPECT_EQ(container.GetStreamProcessID(&stranger), 0);
    Recorder* a = Add("a");
    Recorder* b = Add("b");
    Recorder* c = Add("c");
    EXPECT_EQ(container.GetStreamProcessID(b), 1);
    EXPECT_EQ(container.GetStreamProcessID(&stranger), 3);
    container.ReplaceProcess(a, &stranger);  // not in the chain
    container.ReplaceProcess(nullptr, a);
    container.ReplaceProcess(a, nullptr);
    EXPECT_TRUE(journal.empty());

    auto* middle = new Recorder(&journal, "m");
    container.ReplaceProcess(middle, b);
    EXPECT_EQ(a->GetNextProcess(), middle);
    EXPECT_EQ(middle->GetNextProcess(), c);
    EXPECT_EQ(middle->GetContainer(), &container);
    EXPECT_EQ(container.GetStreamProcessID(middle), 1);
    EXPECT_EQ(container.GetStreamProcessID(b), 3);
    EXPECT_EQ(container.GetProcessCount(), 3);
    EXPECT_EQ(journal, (Events{"m.Init"}));
    delete b;  // handed back to the caller

    auto* head = new Recorder(&journal, "h");
    auto* tail = new Recorder(&journal, "t");
    container.ReplaceProcess(head, a);
    container.ReplaceProcess(tail, c);
    EXPECT_EQ(container.GetFirstProcess(), head);
    EXPECT_EQ(container.GetLastProcess(), tail);
    EXPECT_EQ(head->GetNextProcess(), middle);
    EXPECT_EQ(middle->GetNextProcess(), tail);
    delete a;
    delete c;
}

TEST_F(Chain, ResetContainerDestroysEveryStageOnceAndKeepsCallbacks) {
    Add("a");
    Add("b");
    container.AddProcess(nullptr);
    EXPECT_EQ(container.GetProcessCount(), 2);
    container.ResetContainer();
    EXPECT_EQ(journal, (Events{"a.destroyed", "b.destroyed"}));
    EXPECT_EQ(container.GetProcessCount(), 0);
    EXPECT_EQ(container.GetFirstProcess(), nullptr);
    EXPECT_EQ(container.GetLastProcess(), nullptr);
    EXPECT_EQ(container.GetWriteCallback(), Write);
    {
        KRStreamContainer scoped;
        scoped.AddProcess(new Recorder(&journal, "c"));
    }
    EXPECT_EQ(journal.back(), "c.destroyed");
}

TEST_F(Chain, ResetFiltersStopsAtTheFirstFailureAndKeepsTheFinalizedFlag) {
    EXPECT_EQ(container.GetFiltersDescriptionString(), "");
    Add("a");
    Add("b")->resetResult = -5;
    Add("c");
    EXPECT_EQ(container.GetFiltersDescriptionString(), "a, b, c");
    container.Final();
    journal.clear();
    EXPECT_EQ(container.ResetFilters(), -5);
    EXPECT_EQ(journal, (Events{"a.Reset", "b.Reset"}));
    EXPECT_TRUE(container.IsFinalized());
}

TEST(StreamProcess, CopiesTakeTheContainerButNotTheLink) {
    KRStreamContainer container;
    KRStreamProcess next, stage;
    stage.SetContainer(&container);
    stage.SetNextProcess(&next);
    stage.SetErrorMsg("broken");
    stage.GetErrorMsg() += "!";

    KRStreamProcess copy(stage);
    EXPECT_EQ(copy.GetContainer(), &container);
    EXPECT_EQ(copy.GetNextProcess(), nullptr);
    EXPECT_EQ(copy.GetErrorMsg(), "");
    KRStreamProcess assigned;
    assigned = stage;
    EXPECT_EQ(assigned.GetNextProcess(), &next);
    EXPECT_EQ(assigned.GetErrorMsg(), "broken!");
    EXPECT_FALSE(stage == stage);

    KRStreamProcess alone;  // nowhere to send data, no count to lower
    EXPECT_EQ(alone.Update("x", 1), 0);
    EXPECT_EQ(alone.Final(), 0);
}

}  // namespace
