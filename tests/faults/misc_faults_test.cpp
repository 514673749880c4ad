// Injected failures of the clock conversions, the console read and the
// plain parameter readers' line read.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "fault_plan.h"
#include "krtools/asn1.h"
#include "krtools/console.h"
#include "krtools/datetime.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

TEST(MiscFaults, TimeConversionsReportWhatCannotBeRepresented) {
    faults::Scope scope;
    char stamp[21] = "unchanged";
    faults::Fail("gmtime_r", EOVERFLOW);
    EXPECT_EQ(Time_tToTimeStamp(86400, stamp, 0), 0);
    EXPECT_STREQ(stamp, "");
    faults::Fail("localtime_r", EOVERFLOW);
    EXPECT_EQ(Time_tToLocalTimeStamp(86400, stamp, 1), 0);
    EXPECT_STREQ(stamp, "");
    long seconds = 12345;
    faults::Fail("mktime", EOVERFLOW);
    EXPECT_EQ(DateTimeToSeconds("2001/02/03", "04:05:06", &seconds, 0), -1);
    EXPECT_EQ(seconds, 12345);
    EXPECT_EQ(DateTimeToSeconds("2001/02/03", "04:05:06", &seconds, 0), 0);
    EXPECT_NE(seconds, 12345);
}

TEST(MiscFaults, ConsoleReadErrorEndsThePromptLikeEndOfInput) {
    faults::Scope scope;
    std::string answer;
    char prompt[] = "value: ";
    faults::Fail("getchar", EIO);
    testing::internal::CaptureStdout();
    try {
        PromptUser(prompt, answer, false, 0, false, false);
        ADD_FAILURE() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, "PromptUser\nEnd of input");
    }
    testing::internal::GetCapturedStdout();
}

// The plain readers know no read error: a failed line read ends the file,
// and the stream and buffer are released as at a real end.
TEST(MiscFaults, PlainReaderTakesAReadErrorAsTheEnd) {
    testutil::TempDir dir;
    const std::string path = dir.File("p.txt");
    testutil::WriteFile(path, "a(1) b(2);\n");
    faults::Scope scope;
    ParseContext context{};
    context.fileName = path.c_str();
    faults::Fail("fgets", EIO);
    EXPECT_EQ(ParseParenStyle(&context), 2);
    EXPECT_EQ(context.fp, nullptr);
    EXPECT_EQ(context.buffer, nullptr);
    EXPECT_EQ(ParseParenStyle(&context), 0);  // starts over
    EXPECT_EQ(std::string(context.keyword, static_cast<size_t>(context.keywordLength)), "a(");
    while (ParseParenStyle(&context) != 2) {
    }
}

// The element pool's memory: the structure reports it as the root it could
// not create, and decodes normally once memory is back.
TEST(MiscFaults, ElementMemoryFailureIsTheStructureError) {
    faults::Scope scope;
    unsigned char der[] = {0x30, 0x03, 0x02, 0x01, 0x05};
    KR_ASN1_STRUCTURE structure(der, sizeof der);
    faults::Fail("malloc", ENOMEM);
    try {
        structure.Decode();
        ADD_FAILURE() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, "Error creating root KR_ASN1_ELEMENT");
    }
    EXPECT_EQ(structure.root, nullptr);
    structure.Decode();
    ASSERT_NE(structure.root, nullptr);
    EXPECT_EQ(structure.root->child->length, 1);
}

}  // namespace
