// The stream chain and the filter container: call order, statuses, ownership, callbacks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "krtools/stream.h"

namespace {

using Events = std::vector<std::string>;
Events events;  // stage calls as "a.Final", callback calls as "kind:data:source:handle:level"
unsigned char* containerAddress = nullptr;  // the source of end-of-stream calls

// A filter that logs its calls and returns the results it is told to.
class Recorder : public KRFilter {
public:
    explicit Recorder(std::string name) : name_(std::move(name)) {}
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
        events.push_back(name_ + "." + what);
        return result;
    }
    std::string name_;
};

using Bytes = unsigned char*;

int Record(const char* kind, const char* data, int length, Bytes source, Bytes handle,
           unsigned level = 0) {
    events.push_back(std::string(kind) + ":" + (data ? std::string(data, size_t(length)) : "null") +
                     ":" + (source == containerAddress ? "container" : "stage") + ":" +
                     reinterpret_cast<const char*>(handle) + ":" + std::to_string(level));
    return data != nullptr && std::string(data, size_t(length)) == "refuse" ? 42 : 0;
}
int Write(const char* d, int n, Bytes s, Bytes h) { return Record("write", d, n, s, h); }
int Debug(const char* d, int n, Bytes s, Bytes h) { return Record("debug", d, n, s, h); }
int Log(const char* d, int n, Bytes s, Bytes h, unsigned l) {
    return Record("log", d, n, s, h, l) + 7;
}
Bytes Handle(const char* name) { return reinterpret_cast<Bytes>(const_cast<char*>(name)); }

class Chain : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        containerAddress = reinterpret_cast<unsigned char*>(&container);
        container.SetWriteCallback(Write);
        container.SetLogCallback(Log);
        container.SetDebugCallback(Debug);
        container.SetWriteHandle(Handle("w"));
        container.SetLogHandle(Handle("l"));
        container.SetDebugHandle(Handle("d"));
    }
    Recorder* Add(const std::string& name) {
        auto* stage = new Recorder(name);
        container.AddProcess(stage);
        return stage;
    }
    // The chain as "a>b>c", following the links; checks the tail and containers.
    std::string Walk() {
        std::string names;
        KRStreamProcess* last = nullptr;
        for (KRStreamProcess* p = container.GetFirstProcess(); p; p = p->GetNextProcess()) {
            EXPECT_EQ(p->GetContainer(), &container);
            names += (last ? ">" : "") + static_cast<KRFilter*>(p)->GetDescription();
            last = p;
        }
        EXPECT_EQ(container.GetLastProcess(), last);
        return names;
    }
    KRFilterContainer container;
};

TEST_F(Chain, UpdateInitsOnceAndPassesPiecesThrough) {
    EXPECT_EQ(KRFilterContainer().Update("dropped", 7), 0);
    Add("a");
    Add("b");
    EXPECT_EQ(Walk(), "a>b");
    EXPECT_EQ(container.Update("one", 3), 0);
    EXPECT_EQ(container.Update("refuse", 6), 42);
    EXPECT_EQ(events,
              (Events{"a.Init", "b.Init", "a.Update(one)", "b.Update(one)", "write:one:stage:w:0",
                      "a.Update(refuse)", "b.Update(refuse)", "write:refuse:stage:w:0"}));
}

TEST_F(Chain, FinalSignalsTheEndThroughEveryCallbackAndLogLevelFilters) {
    Add("a");
    EXPECT_FALSE(container.IsFinalized());
    EXPECT_EQ(container.Final(), 0);
    EXPECT_TRUE(container.IsFinalized());
    EXPECT_EQ(container.GetProcessCount(), 0);
    EXPECT_EQ(KRFilterContainer().Final(), 0);  // no callbacks at all
    container.SetLoggingLevel(2);
    EXPECT_EQ(container.LogCallback("dropped", nullptr, 3), 0);
    container.SetLoggingLevel(3);
    EXPECT_EQ(container.LogCallback("kept", containerAddress, 3), 7);
    container.SetLogCallback(nullptr);
    EXPECT_EQ(container.LogCallback("unset", 5, nullptr, 0), 0);
    EXPECT_EQ(events, (Events{"a.Final", "write:null:container:w:0", "log:null:container:l:0",
                              "debug:null:container:d:0", "log:kept:container:l:3"}));
}

TEST_F(Chain, FinalCancelAndResetFiltersStopAtTheFirstFailingStage) {
    Add("a");
    Recorder* b = Add("b");
    b->finalResult = -1, b->resetResult = -5;
    Add("c")->cancelResult = 3;
    Add("d");
    EXPECT_EQ(container.Final(), -1);
    EXPECT_EQ(container.GetProcessCount(), 3);
    EXPECT_EQ(container.Cancel(), 3);
    EXPECT_EQ(container.ResetFilters(), -5);
    EXPECT_TRUE(container.IsFinalized());
    EXPECT_EQ(events, (Events{"a.Final", "b.Final", "a.Cancel", "b.Cancel", "c.Cancel", "a.Reset",
                              "b.Reset"}));
    EXPECT_EQ(container.GetFiltersDescriptionString(), "a, b, c, d");
    EXPECT_EQ(KRFilterContainer().GetFiltersDescriptionString(), "");
}

TEST_F(Chain, ReplaceProcessSplicesTheNewStageInAndResetEmptiesTheChain) {
    Recorder stranger("s");
    EXPECT_EQ(container.GetStreamProcessID(&stranger), 0);
    Recorder *a = Add("a"), *b = Add("b"), *c = Add("c");
    container.ReplaceProcess(a, &stranger);  // not in the chain: ignored
    container.ReplaceProcess(new Recorder("m"), b);
    EXPECT_EQ(Walk(), "a>m>c");
    EXPECT_EQ(container.GetStreamProcessID(container.GetLastProcess()), 2);
    EXPECT_EQ(container.GetStreamProcessID(b), 3);
    container.ReplaceProcess(new Recorder("h"), a);
    container.ReplaceProcess(new Recorder("t"), c);
    EXPECT_EQ(Walk(), "h>m>t");
    EXPECT_EQ(events, (Events{"m.Init", "h.Init", "t.Init"}));
    delete a, delete b, delete c;  // handed back; the sanitizer reports leaks and double deletes
    container.AddProcess(nullptr);
    EXPECT_EQ(container.GetProcessCount(), 3);
    container.ResetContainer();
    EXPECT_EQ(container.GetProcessCount(), 0);
    EXPECT_EQ(Walk(), "");
}

TEST(StreamProcess, CopiesTakeTheContainerButNotTheLink) {
    KRStreamContainer container;
    KRStreamProcess next, stage, assigned, alone;
    stage.SetContainer(&container);
    stage.SetNextProcess(&next);
    stage.SetErrorMsg("broken");
    stage.GetErrorMsg() += "!";
    KRStreamProcess copy(stage);
    assigned = stage;
    EXPECT_EQ(std::make_tuple(copy.GetContainer(), copy.GetNextProcess(), copy.GetErrorMsg()),
              std::make_tuple(&container, nullptr, ""));
    EXPECT_EQ(std::make_tuple(assigned.GetNextProcess(), assigned.GetErrorMsg()),
              std::make_tuple(&next, "broken!"));
    EXPECT_FALSE(stage == stage);
    EXPECT_EQ(alone.Update("x", 1) + alone.Final(), 0);  // nowhere to send data, no count
}

}  // namespace
