#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config_test_util.h"
#include "krtools/file.h"
#include "krtools/ini.h"
#include "testutil.h"

namespace {

using namespace std::string_literals;
using configtest::Dump;
using configtest::SplitNames;

std::string NotFoundText(const std::string& function, const std::string& path,
                         const std::string& mode, const std::string& what, int code) {
    char rcLine[40];
    std::snprintf(rcLine, sizeof rcLine, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return "Function: " + function + ", Filename: " + path + ", Mode: " + mode + "\r\n" + what +
           "\n" + rcLine + std::strerror(code) + "\n";
}

INIFile Load(const testutil::TempDir& dir, const std::string& text) {
    testutil::WriteFile(dir.File("in.ini"), text);
    INIFile ini;
    ini.LoadFile(dir.File("in.ini").c_str());
    return ini;
}

// ---- the model ----

TEST(INIModel, AddEntryKeepsOrderAndHonoursOverwriteSwitch) {
    INIFile ini;
    ini.AddEntry("s", "b", "1", true);
    ini.AddEntry("s", "a", "2", true);
    ini.AddEntry("t", "x", "3", false);
    ini.AddEntry("s", "b", "changed", false);
    EXPECT_EQ(ini.GetEntry("s", "b"), "1");
    ini.AddEntry("s", "b", "changed", true);
    EXPECT_EQ(Dump(ini), "[s]\nb=changed\na=2\n[t]\nx=3\n");
    ini.AddEntry("S", "B", "case", true);
    EXPECT_EQ(ini.GetEntry("S", "B"), "case");
    EXPECT_EQ(ini.GetEntry("s", "B"), "");
}

TEST(INIModel, FailedLookupsReturnTheSharedEmptyString) {
    INIFile ini;
    ini.AddEntry("s", "k", "", true);
    EXPECT_EQ(&ini.GetEntry("missing", "k"), &INIEmptyString());
    EXPECT_EQ(&ini.GetEntry("s", "missing"), &INIEmptyString());
    EXPECT_NE(&ini.GetEntry("s", "k"), &INIEmptyString());
    EXPECT_TRUE(INIEmptyString().empty());
}

TEST(INIModel, NameListsEndEachNameAndTheListWithNul) {
    INIFile ini;
    std::string list = "junk";
    ini.GetAllSections(list);
    EXPECT_EQ(list, std::string(1, '\0'));
    ini.AddEntry("a", "k1", "v", true);
    ini.AddEntry("b", "k2", "v", true);
    ini.AddEntry("a", "k3", "v", true);
    ini.GetAllSections(list);
    EXPECT_EQ(list, std::string("a\0b\0\0", 5));
    ini.GetAllEntries(list, "a");
    EXPECT_EQ(list, std::string("k1\0k3\0\0", 7));
    ini.GetAllEntries(list, "missing");
    EXPECT_EQ(list.size(), 0u);

    INIFileSection bare("n");
    bare.GetAllEntries(list);
    EXPECT_EQ(list, std::string(1, '\0'));
}

TEST(INIModel, CopiesAreDeepAndDestroyEmpties) {
    INIFile original;
    for (int i = 0; i < 40; ++i) {
        original.AddEntry(("s" + std::to_string(i % 12)).c_str(), ("k" + std::to_string(i)).c_str(),
                          "v", true);
    }
    INIFile copy(original);
    INIFile assigned;
    assigned = original;
    copy.AddEntry("s1", "k1", "changed", true);
    copy.AddEntry("new", "k", "v", true);
    EXPECT_EQ(original.GetEntry("s1", "k1"), "v");
    EXPECT_EQ(original.GetEntry("new", "k"), "");
    EXPECT_EQ(Dump(assigned), Dump(original));
    EXPECT_EQ(copy.GetEntry("s1", "k13"), "v");  // the copy's index still finds old entries

    original.DestroySections();
    std::string list;
    original.GetAllSections(list);
    EXPECT_EQ(list, std::string(1, '\0'));
    EXPECT_EQ(original.GetEntry("s1", "k1"), "");
    original.AddEntry("s1", "k1", "again", true);
    EXPECT_EQ(Dump(original), "[s1]\nk1=again\n");
    EXPECT_EQ(assigned.GetEntry("s1", "k1"), "v");
}

TEST(INIModel, EntryAndSectionOperatorsCompareNamesOnly) {
    INIFileEntry a("key", "1"), b("key", "2"), c("kez", "1");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    EXPECT_TRUE(a == "key");
    EXPECT_FALSE(a == "KEY");
    EXPECT_TRUE(a < c);
    EXPECT_FALSE(c < a);
    EXPECT_TRUE(a < "kez");
    INIFileEntry d;
    d = c;
    d.SetValue("other");
    EXPECT_EQ(c.GetValue(), "1");
    EXPECT_EQ(d.GetKeyword(), "kez");

    INIFileSection s("Main"), t("main");
    EXPECT_FALSE(s == t);
    EXPECT_TRUE(s == "Main");
    EXPECT_TRUE(s < t);
    s.AddEntry("k", "v", true);
    s.DestroyEntries();
    EXPECT_EQ(s.GetSection(), "Main");
    EXPECT_EQ(s.GetEntry("k"), "");
}

// The index must answer exactly like a linear search over the insertion
// order, however many names a section or file holds.
TEST(INIModel, IndexedLookupsAgreeWithLinearReference) {
    std::mt19937 rng(7);
    INIFile ini;
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> ref;
    auto findSection = [&](const std::string& name) {
        for (auto& section : ref) {
            if (section.first == name) return &section;
        }
        ref.push_back({name, {}});
        return &ref.back();
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string section = configtest::RandomText(rng, "abAB", 0, 5);
        const std::string key = configtest::RandomText(rng, "xyXY_", 0, 4);
        const std::string value = std::to_string(i);
        const bool overwrite = rng() % 3 != 0;
        ini.AddEntry(section.c_str(), key.c_str(), value.c_str(), overwrite);
        auto& entries = findSection(section)->second;
        bool found = false;
        for (auto& entry : entries) {
            if (entry.first != key) continue;
            if (overwrite) entry.second = value;
            found = true;
        }
        if (!found) entries.push_back({key, value});
    }
    std::string expected;
    for (const auto& section : ref) {
        expected += "[" + section.first + "]\n";
        for (const auto& entry : section.second)
            expected += entry.first + "=" + entry.second + "\n";
    }
    EXPECT_EQ(Dump(ini), expected);
    EXPECT_GT(ini.SectionCount(), 8u);
}

// ---- reading ----

TEST(INILoad, SplitsTrimsAndCutsComments) {
    testutil::TempDir dir;
    INIFile ini = Load(dir,
                       "  key = a=b ;note\n"
                       "\tother\t=\tx # y = z\r\n"
                       "=starts with equals\n"
                       "# only a comment\n"
                       "word\n"
                       "[ in side ]\n"
                       "[Main]\n"
                       "[main]\n"
                       "k=v\n");
    EXPECT_EQ(Dump(ini), "[]\nkey=a=b\nother=x\nword=\n[ in side ]\n[Main]\n[main]\nk=v\n");
}

TEST(INILoad, RepeatedSectionsMergeAndLastValueWins) {
    testutil::TempDir dir;
    INIFile ini = Load(dir, "[s]\nk=1\nj=0\n[t]\n[s]\nk=2\n");
    EXPECT_EQ(Dump(ini), "[s]\nk=2\nj=0\n[t]\n");
    // A second load merges into the same model.
    testutil::WriteFile(dir.File("more.ini"), "[t]\nn=1\n[s]\nk=3\n");
    ini.LoadFile(dir.File("more.ini").c_str());
    EXPECT_EQ(Dump(ini), "[s]\nk=3\nj=0\n[t]\nn=1\n");
}

TEST(INILoad, HeaderNeedsEmptyValueAndFewerThan128Characters) {
    testutil::TempDir dir;
    const std::string name125(125, 'n');  // 127 characters with the brackets
    const std::string name126(126, 'n');
    INIFile ini = Load(dir, "[" + name125 + "]\n" + "a=1\n[" + name126 + "]\n" +
                                "[x]=value\n[y]=\nb=2\n[z] = ; nothing\nc=3\n");
    EXPECT_EQ(Dump(ini),
              "[" + name125 + "]\na=1\n[" + name126 + "]=\n[x]=value\n[y]\nb=2\n[z]\nc=3\n");
}

TEST(INILoad, LongLinesArriveInPiecesOf2047Characters) {
    testutil::TempDir dir;
    const std::string value(5000, 'v');
    INIFile ini = Load(dir, "[s]\nk=" + value + "\nafter=1\n");
    // Piece 1 holds "k=" and 2045 characters; piece 2 is 2047 bare
    // characters (a keyword without value); piece 3 the remaining 908.
    const std::string dump = Dump(ini);
    EXPECT_EQ(dump, "[s]\nk=" + std::string(2045, 'v') + "\n" + std::string(2047, 'v') + "=\n" +
                        std::string(908, 'v') + "=\nafter=1\n");
}

TEST(INILoad, NulBytesEndALineTheirLineStillCounts) {
    testutil::TempDir dir;
    INIFile ini = Load(dir, "[s]\na=1\0ignored\n\0b=2\nc=3\n"s);
    EXPECT_EQ(Dump(ini), "[s]\na=1\nc=3\n");
}

TEST(INILoad, AgreesWithConfigparserOnGeneratedFiles) {
    testutil::TempDir dir;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        const std::string text = configtest::GenerateIni(rng, 400);
        testutil::WriteFile(dir.File("gen.ini"), text);
        INIFile ini;
        ini.LoadFile(dir.File("gen.ini").c_str());
        const std::string expected = configtest::PythonDump(dir.File("gen.ini"));
        ASSERT_GT(std::count(expected.begin(), expected.end(), '\n'), 100) << expected;
        ASSERT_EQ(Dump(ini), expected) << "seed " << seed;
    }
}

TEST(INILoad, MissingFileThrowsOpenFailureWithSystemText) {
    testutil::TempDir dir;
    const std::string path = dir.File("absent.ini");
    INIFile ini;
    ini.AddEntry("keep", "k", "v", true);
    try {
        ini.LoadFile(path.c_str());
        FAIL() << "no exception";
    } catch (const PXMFileException& e) {
        EXPECT_EQ(e.rc, ENOENT);
        EXPECT_EQ(e.text, NotFoundText("Open", path, "r", "File open failed: ", ENOENT));
    }
    EXPECT_EQ(Dump(ini), "[keep]\nk=v\n");
}

TEST(INILoad, ReadFailureThrowsFgetsFailure) {
    testutil::TempDir dir;
    INIFile ini;
    try {
        ini.LoadFile(dir.path().c_str());  // a directory opens but cannot be read
        FAIL() << "no exception";
    } catch (const PXMFileException& e) {
        EXPECT_EQ(e.rc, EISDIR);
        EXPECT_EQ(e.text, NotFoundText("Fgets", dir.path(), "r", "File fgets failed: ", EISDIR));
    }
}

// ---- writing ----

TEST(INIWrite, WritesHeadersAndNonEmptyEntriesOnly) {
    testutil::TempDir dir;
    INIFile ini;
    ini.AddEntry("s", "k", "v", true);
    ini.AddEntry("s", "empty", "", true);
    ini.AddEntry("only empty", "e", "", true);
    ini.AddEntry("t", "a", "x = y", true);
    ini.WriteFile(dir.File("out.ini").c_str());
    EXPECT_EQ(testutil::ReadFile(dir.File("out.ini")),
              "\n[s]\nk=v\n\n[only empty]\n\n[t]\na=x = y\n");

    INIFile empty;
    testutil::WriteFile(dir.File("e.ini"), "old content");
    empty.WriteFile(dir.File("e.ini").c_str());
    EXPECT_EQ(testutil::ReadFile(dir.File("e.ini")), "");
}

TEST(INIWrite, LongValuesAreWrittenWhole) {
    testutil::TempDir dir;
    std::string value;
    for (int i = 0; i < 1500; ++i) value += std::to_string(i % 10);
    value += value + value;  // 4500 characters, past two working buffers
    INIFile ini;
    ini.AddEntry("s", "k", value.c_str(), true);
    ini.WriteFile(dir.File("long.ini").c_str());
    EXPECT_EQ(testutil::ReadFile(dir.File("long.ini")), "\n[s]\nk=" + value + "\n");
}

TEST(INIWrite, WrittenFilesReadBackTheSameHereAndInConfigparser) {
    testutil::TempDir dir;
    for (unsigned seed = 100; seed < 110; ++seed) {
        std::mt19937 rng(seed);
        testutil::WriteFile(dir.File("gen.ini"), configtest::GenerateIni(rng, 150));
        INIFile ini;
        ini.LoadFile(dir.File("gen.ini").c_str());
        ini.WriteFile(dir.File("out.ini").c_str());
        const std::string expected = Dump(ini, true);
        EXPECT_EQ(configtest::PythonDump(dir.File("out.ini")), expected) << "seed " << seed;
        INIFile again;
        again.LoadFile(dir.File("out.ini").c_str());
        EXPECT_EQ(Dump(again), expected) << "seed " << seed;
    }
}

TEST(INIWrite, FailuresThrowAndLeaveTheModelAlone) {
    testutil::TempDir dir;
    INIFile ini;
    ini.AddEntry("s", "k", std::string(5000, 'x').c_str(), true);
    const std::string before = Dump(ini);
    const std::string missingDir = dir.File("no/such/file.ini");
    try {
        ini.WriteFile(missingDir.c_str());
        FAIL() << "no exception";
    } catch (const PXMFileException& e) {
        EXPECT_EQ(e.text, NotFoundText("Open", missingDir, "w", "File open failed: ", ENOENT));
    }
    try {
        ini.WriteFile("/dev/full");
        FAIL() << "no exception";
    } catch (const PXMFileException& e) {
        EXPECT_EQ(e.rc, ENOSPC);
        EXPECT_NE(e.text.find(std::strerror(ENOSPC)), std::string::npos) << e.text;
    }
    EXPECT_EQ(Dump(ini), before);
}

}  // namespace
