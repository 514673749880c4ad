// The stream process chain, filter framework, Base64 and quoted-printable filters.
//
// A KRStreamContainer owns an ordered chain of KRStreamProcess stages. The
// application feeds pieces of input to the container's Update; each stage
// transforms its input and hands the result to the next stage, and the last
// stage hands it to the container's write callback. Every operation returns
// an int status, 0 for success; a non-zero status from a stage or callback
// travels back unchanged. Nothing here throws.
#ifndef KRTOOLS_STREAM_H
#define KRTOOLS_STREAM_H

#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "krtools/export.h"

class KRStreamContainer;

// Application callbacks. |source| is the address of the stage whose output it
// is, or of the container for the end-of-stream calls of Final (null data,
// length 0); |handle| is the handle set with the callback. The library never
// dereferences either.
typedef int (*KRLogCallbackFunction)(const char* text, int length, unsigned char* source,
                                     unsigned char* handle, unsigned int level);
typedef int (*KRDebugCallbackFunction)(const char* data, int length, unsigned char* source,
                                       unsigned char* handle);
typedef int (*KRWriteCallbackFunction)(const char* data, int length, unsigned char* source,
                                       unsigned char* handle);

// One stage of a stream process chain. The base stage passes its input on
// unchanged; derived stages transform it and pass the result on with
// KRStreamProcess::Update.
class KRTOOLS_API KRStreamProcess {
public:
    // Empty error message, no container, no next process.
    KRStreamProcess();
    // Empty error message and no next process; takes over |other|'s container
    // (through the base CopyMembers).
    KRStreamProcess(const KRStreamProcess& other);
    // Copies the error message, the container and the next process.
    KRStreamProcess& operator=(const KRStreamProcess& other);
    virtual ~KRStreamProcess();

    // Called once before the first data reaches the stage. Returns 0.
    virtual int Init();
    // Takes one piece of input. The base passes it to the next process, or
    // when there is none to the container's WriteCallback with this stage's
    // address as source. A stage with neither drops the data and returns 0.
    virtual int Update(const char* data, int length);
    // Ends the stream for this stage: lowers the container's process count by
    // one and returns 0 (a stage without a container just returns 0).
    virtual int Final();
    // Abandons the stream. Returns 0.
    virtual int Cancel();

    // Returns Equals(other); with the base Equals no two stages are equal, not
    // even a stage and itself.
    bool operator==(const KRStreamProcess& other);

    void SetContainer(KRStreamContainer* container);
    KRStreamContainer* GetContainer() const;
    void SetNextProcess(KRStreamProcess* next);
    KRStreamProcess* GetNextProcess();
    void SetErrorMsg(const std::string& message);
    std::string& GetErrorMsg();

protected:
    // Copies what a copy inherits from |other|: the base takes its container.
    virtual void CopyMembers(const KRStreamProcess& other);
    // The comparison behind operator==; false in the base.
    virtual bool Equals(const KRStreamProcess& other);

private:
    std::string errorMsg_;
    KRStreamContainer* container_;
    KRStreamProcess* nextProcess_;
};

// Owns a chain of stages and the application's write, log and debug
// callbacks. Stages are created with new and handed over with AddProcess;
// the container deletes them in ResetContainer and in its destructor.
// Containers are neither copyable nor movable: their stages point back at
// them, and each stage must be deleted exactly once.
class KRTOOLS_API KRStreamContainer {
public:
    // Empty chain, no callbacks, logging level 0, not started; records the
    // current process id.
    KRStreamContainer();
    // Deletes the stages (ResetContainer).
    virtual ~KRStreamContainer();
    KRStreamContainer(const KRStreamContainer&) = delete;
    KRStreamContainer& operator=(const KRStreamContainer&) = delete;

    // Deletes every stage in chain order and empties the chain; callbacks,
    // handles, logging level and the started flag stay.
    virtual void ResetContainer();
    // Appends |process| to the chain and takes ownership of it; the process
    // count rises by one. Init is not called. A null |process| is ignored.
    virtual void AddProcess(KRStreamProcess* process);
    // Puts |newProcess| in |oldProcess|'s place and calls newProcess->Init().
    // The container takes ownership of |newProcess| and gives |oldProcess| back
    // to the caller without changing it. Nothing happens when either is null
    // or |oldProcess| is not in the chain.
    virtual void ReplaceProcess(KRStreamProcess* newProcess, KRStreamProcess* oldProcess);
    // Returns 0; nothing in the library calls it.
    virtual int Init();
    // On the first call, Init of every stage (results ignored) and the started
    // flag. Then returns the first stage's Update, or 0 for an empty chain.
    virtual int Update(const char* data, int length);
    // Final of every stage in order, stopping at the first non-zero result,
    // which is returned. When all succeed, the end of the stream is signalled
    // through WriteCallback(null, 0), LogCallback(null, 0, level 0) and
    // DebugCallback(null, 0), each with this container as source; returns 0.
    virtual int Final();
    // Cancel of every stage in order; returns the first non-zero result, or 0.
    virtual int Cancel();
    // The write callback's result, or 0 when none is set.
    virtual int WriteCallback(const char* data, int length, unsigned char* source);
    // LogCallback(text, strlen(text), source, level); a null |text| counts as
    // an empty message.
    virtual int LogCallback(const char* text, unsigned char* source, unsigned int level);
    // The log callback's result; 0 without a call when none is set or when
    // |level| is above the logging level.
    virtual int LogCallback(const char* text, int length, unsigned char* source,
                            unsigned int level);
    // The debug callback's result, or 0 when none is set.
    virtual int DebugCallback(const char* data, int length, unsigned char* source);

    void SetWriteCallback(KRWriteCallbackFunction callback);
    KRWriteCallbackFunction GetWriteCallback() const;
    void SetWriteHandle(unsigned char* handle);
    unsigned char* GetWriteHandle() const;
    void SetLogCallback(KRLogCallbackFunction callback);
    KRLogCallbackFunction GetLogCallback() const;
    void SetLogHandle(unsigned char* handle);
    unsigned char* GetLogHandle() const;
    void SetDebugCallback(KRDebugCallbackFunction callback);
    KRDebugCallbackFunction GetDebugCallback() const;
    void SetDebugHandle(unsigned char* handle);
    unsigned char* GetDebugHandle() const;
    void SetLoggingLevel(unsigned int level);
    unsigned int GetLoggingLevel() const;

    // Stages still open: +1 per AddProcess, -1 per successful stage Final and
    // per DecreaseProcessCount, 0 after ResetContainer.
    int GetProcessCount();
    void DecreaseProcessCount();
    KRStreamProcess* GetFirstProcess();
    KRStreamProcess* GetLastProcess();
    // The process id recorded at construction.
    int GetProcessID();
    // The zero-based position of |process| in the chain, or the number of
    // stages when it is not in the chain.
    int GetStreamProcessID(KRStreamProcess* process);

protected:
    // The stages in chain order, for derived containers.
    const std::vector<KRStreamProcess*>& Processes() const { return processList_; }

private:
    int processCount_;
    KRStreamProcess* firstProcess_;
    KRStreamProcess* lastProcess_;
    std::vector<KRStreamProcess*> processList_;
    int processId_;
    KRLogCallbackFunction logCallback_;
    KRDebugCallbackFunction debugCallback_;
    KRWriteCallbackFunction writeCallback_;
    unsigned char* writeHandle_;
    unsigned char* logHandle_;
    unsigned char* debugHandle_;
    unsigned int loggingLevel_;
    bool started_;
};

// Filter type numbers.
#define KR_FILTER_TYPE_QUOTED_PRINTABLE 4
#define KR_FILTER_TYPE_BASE64 5

// A stage that converts a content encoding.
class KRTOOLS_API KRFilter : public KRStreamProcess {
public:
    KRFilter();
    KRFilter(const KRFilter& other);
    KRFilter& operator=(const KRFilter& other);
    ~KRFilter() override;

    // Prepares the filter for a new stream. Returns 0.
    virtual int Reset();
    // A short readable name of the encoding.
    virtual std::string GetDescription() = 0;
    // The filter type number of the encoding.
    virtual unsigned int GetFilterType() const = 0;
};

// A stream container whose stages are filters. A stage that is not a
// KRFilter is left out by ResetFilters and GetFiltersDescriptionString.
class KRTOOLS_API KRFilterContainer : public KRStreamContainer {
public:
    KRFilterContainer();
    ~KRFilterContainer() override;

    // Exactly KRStreamContainer::Update.
    int Update(const char* data, int length) override;
    // KRStreamContainer::Final, then marks the container finalized whatever
    // the result; returns that result.
    int Final() override;

    // True once Final has been called; nothing clears it.
    bool IsFinalized();
    // Reset of every filter in order; returns the first non-zero result
    // (later filters are not reset), or 0.
    int ResetFilters();
    // The filters' descriptions in chain order, separated by ", ".
    std::string GetFiltersDescriptionString();

private:
    bool finalized_;
};

// Encodes the bytes passing through it as Base64 text in lines of 76
// characters separated by CR LF. Every full line is followed by CR LF; a
// shorter last line is not. An empty stream gives no output at all. Output is
// handed on once per call from a reused buffer that only grows.
class KRTOOLS_API KRFilterBase64 : public KRFilter {
public:
    // Ready for a stream: column 0 and a fresh coding context.
    KRFilterBase64();
    // The stage copy, then line length, column, buffer and a copy of |other|'s
    // coding context (each filter owns its own).
    KRFilterBase64(const KRFilterBase64& other);
    // Copies as the copy constructor does, and also the error message and next
    // process; self-assignment changes nothing.
    KRFilterBase64& operator=(const KRFilterBase64& other);
    ~KRFilterBase64() override;

    // Encodes a piece; returns the next stage's result, or 0 when the piece
    // completed no group. -1 when the filter has no coding context.
    int Update(const char* data, int length) override;
    // Flushes the last one or two bytes with their "=" padding, then ends the
    // stream for this stage. Does not reset the column.
    int Final() override;
    // Starts a new stream: column 0 and a fresh coding context (allocated
    // only when the filter has none; -1 when that fails). The output buffer
    // keeps its size: it never holds output between calls.
    int Reset() override;
    // "Base 64".
    std::string GetDescription() override;
    // 5.
    unsigned int GetFilterType() const override;

protected:
    // The encoder step; a negative |length| flushes the last group.
    int DoFilterBase64(const char* data, int length);

private:
    FilterContext* context_;
    int lineLength_;
    int column_;
    std::string buffer_;
};

// Decodes Base64 text passing through it. Every character outside the
// alphabet (line breaks, blanks, "=", any other byte) is skipped, so the
// decoder never fails on its input; a group split across pieces decodes as
// if it had come in one.
class KRTOOLS_API KRUnfilterBase64 : public KRFilter {
public:
    KRUnfilterBase64();
    // The stage copy, then the buffer and a copy of |other|'s coding context.
    KRUnfilterBase64(const KRUnfilterBase64& other);
    // Copies error message, container, next process, buffer and the coding
    // context's contents; self-assignment changes nothing.
    KRUnfilterBase64& operator=(const KRUnfilterBase64& other);
    ~KRUnfilterBase64() override;

    // Decodes a piece and hands the bytes on, even when there are none (a
    // piece of length 0). -1 when the filter has no coding context.
    int Update(const char* data, int length) override;
    // -1 when the text ended one character after its last full group of four
    // (6 bits left over, which no valid Base64 text leaves). The 2 or 4 fill
    // bits of a correctly padded last group are accepted. Otherwise ends the
    // stream for this stage (0).
    int Final() override;
    // Starts a new stream with a fresh coding context (allocated only when the
    // filter has none; -1 when that fails).
    int Reset() override;
    // "Base 64".
    std::string GetDescription() override;
    // 5.
    unsigned int GetFilterType() const override;

private:
    FilterContext* context_;
    std::string buffer_;
};

// Encodes the bytes passing through it as quoted-printable text: "!" to "<"
// and ">" to "~" stay as they are, every other byte (blank, tab, CR, LF, "=",
// 127 to 255, other controls) becomes "=" and two upper-case hexadecimal
// digits. After the byte that brings a line to 72 or more characters comes a
// soft line break "=" CR LF. Output is handed on once per call; output that
// the next stage refused is kept and handed on again, before newer output, by
// the next Update or by Final.
class KRTOOLS_API KRFilterQuotedPrintable : public KRFilter {
public:
    KRFilterQuotedPrintable();
    // The stage copy, then column and buffer.
    KRFilterQuotedPrintable(const KRFilterQuotedPrintable& other);
    KRFilterQuotedPrintable& operator=(const KRFilterQuotedPrintable& other);
    ~KRFilterQuotedPrintable() override;

    // Encodes a piece; 0 at once for a length below 1.
    int Update(const char* data, int length) override;
    // Hands on any kept output, then ends the stream for this stage. Adds no
    // line break and keeps the column.
    int Final() override;
    // Column 0, empty buffer; returns 0.
    int Reset() override;
    // "Quoted Printable".
    std::string GetDescription() override;
    // 4.
    unsigned int GetFilterType() const override;

private:
    int column_;
    std::string buffer_;
};

// Decodes quoted-printable text passing through it, one piece at a time with
// no state between pieces: escapes and soft line breaks must arrive whole
// within one piece.
//
// Bytes other than "=" are copied unchanged (line breaks included). "=" CR LF
// is a soft line break and vanishes; blanks and tabs right after "=" are
// skipped while at least two characters follow them. Any other "=" and the
// two characters after it give one byte: their value as hexadecimal digits
// of either case, where the longest valid prefix counts ("=4G" gives 0x04,
// "=G1" gives 0x00). An "=" that is the last byte of a piece gives nothing (a
// soft line break whose line end is missing); an "=" followed by only one
// byte in the piece is copied unchanged together with that byte. The decoder
// never reads past the piece, and its output is never longer than its input.
class KRTOOLS_API KRUnfilterQuotedPrintable : public KRFilter {
public:
    KRUnfilterQuotedPrintable();
    KRUnfilterQuotedPrintable(const KRUnfilterQuotedPrintable& other);
    KRUnfilterQuotedPrintable& operator=(const KRUnfilterQuotedPrintable& other);
    ~KRUnfilterQuotedPrintable() override;

    // Decodes a piece and hands the bytes on, even when there are none.
    int Update(const char* data, int length) override;
    // KRStreamProcess::Final.
    int Final() override;
    // Returns 0.
    int Reset() override;
    // "Quoted Printable".
    std::string GetDescription() override;
    // 4.
    unsigned int GetFilterType() const override;

private:
    // Reused output area of one call; it carries nothing from call to call.
    std::string scratch_;
};

#endif  // KRTOOLS_STREAM_H
