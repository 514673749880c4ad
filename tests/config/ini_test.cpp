#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "config_test_util.h"
#include "krtools/file.h"
#include "krtools/ini.h"
#include "testutil.h"

namespace {

using namespace std::string_literals;
using configtest::Dump;

TEST(INIModel, EmptyStringNameListsAndComparisons) {
    INIFile ini;
    std::string list = "junk";
    ini.GetAllSections(list);
    EXPECT_EQ(list, "\0"s);
    ini.AddEntry("s", "b", "1", true);
    ini.AddEntry("s", "a", "", true);
    ini.AddEntry("t", "x", "2", false);
    EXPECT_EQ(&ini.GetEntry("missing", "b"), &INIEmptyString());
    EXPECT_EQ(&ini.GetEntry("s", "B"), &INIEmptyString());
    ini.GetAllSections(list);
    EXPECT_EQ(list, "s\0t\0\0"s);
    ini.GetAllEntries(list, "s");
    EXPECT_EQ(list, "b\0a\0\0"s);
    ini.GetAllEntries(list, "missing");
    EXPECT_EQ(list.size(), 0u);

    INIFileSection bare("Main");
    bare.AddEntry("k", "v", true);
    bare.DestroyEntries();  // the name stays
    bare.GetAllEntries(list);
    EXPECT_EQ(list, "\0"s);
    EXPECT_EQ(bare.GetEntry("k"), "");
    EXPECT_TRUE(bare == "Main" && bare < "main");
    EXPECT_FALSE(bare == INIFileSection("main"));
    INIFileEntry a("key", "1"), b("key", "2"), c("kez", "1");
    EXPECT_TRUE(a == b && a == "key" && a < c && a < "kez");  // values are not compared
    EXPECT_FALSE(a == c || a == "KEY" || c < a);
}

// Indexed look-ups answer like a linear search in insertion order, also in
// deep copies; DestroySections empties the model.
TEST(INIModel, AgreesWithLinearReferenceAndCopiesDeeply) {
    std::mt19937 rng(7);
    INIFile ini;
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> ref;
    for (int i = 0; i < 5000; ++i) {
        const std::string section = configtest::RandomText(rng, "abAB", 0, 5);
        const std::string key = configtest::RandomText(rng, "xyXY_", 0, 4);
        const std::string value = std::to_string(i);
        const bool overwrite = rng() % 3 != 0;
        ini.AddEntry(section.c_str(), key.c_str(), value.c_str(), overwrite);
        size_t s = 0, e = 0;
        while (s < ref.size() && ref[s].first != section) ++s;
        if (s == ref.size()) ref.push_back({section, {}});
        auto& entries = ref[s].second;
        while (e < entries.size() && entries[e].first != key) ++e;
        if (e == entries.size()) {
            entries.push_back({key, value});
        } else if (overwrite) {
            entries[e].second = value;
        }
    }
    std::string expected;
    for (const auto& section : ref) {
        expected += "[" + section.first + "]\n";
        for (const auto& entry : section.second)
            expected += entry.first + "=" + entry.second + "\n";
    }
    EXPECT_EQ(Dump(ini), expected);

    INIFile copy(ini), assigned;
    assigned = ini;
    ini.DestroySections();
    EXPECT_EQ(Dump(ini), "");
    EXPECT_EQ(ini.GetEntry(ref[0].first.c_str(), ref[0].second[0].first.c_str()), "");
    copy.AddEntry(ref[0].first.c_str(), ref[0].second[0].first.c_str(), "changed", true);
    EXPECT_EQ(Dump(assigned), expected);
    EXPECT_EQ(copy.GetEntry(ref[0].first.c_str(), ref[0].second[0].first.c_str()), "changed");
}

TEST(INILoad, LinesBecomeHeadersEntriesOrNothing) {
    auto n = [](size_t count) { return std::string(count, 'n'); };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  key = a=b ;note\n\tother\t=\tx # y = z\r\n=starts with equals\n# comment\nword\n"
         "[ in side ]\n[Main]\n[main]\nk=v\n",
         "[]\nkey=a=b\nother=x\nword=\n[ in side ]\n[Main]\n[main]\nk=v\n"},
        // Headers need an empty value and fewer than 128 characters.
        {"[" + n(125) + "]\na=1\n[" + n(126) + "]\n[x]=value\n[y]=\nb=2\n[z] = ; c\nc=3\n",
         "[" + n(125) + "]\na=1\n[" + n(126) + "]=\n[x]=value\n[y]\nb=2\n[z]\nc=3\n"},
        {"k=" + n(5000) + "\nafter=1\n",  // read in pieces of 2047 characters
         "[]\nk=" + n(2045) + "\n" + n(2047) + "=\n" + n(908) + "=\nafter=1\n"},
        {"[s]\na=1\0ignored\n\0b=2\nc=3\n"s, "[s]\na=1\nc=3\n"},
    };
    testutil::TempDir dir;
    for (const auto& [text, dump] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        testutil::WriteFile(dir.File("in.ini"), text);
        INIFile ini;
        ini.LoadFile(dir.File("in.ini").c_str());
        EXPECT_EQ(Dump(ini), dump);
    }
    // A second load merges into the model.
    testutil::WriteFile(dir.File("more.ini"), "[t]\nn=1\n[s]\nc=4\n");
    INIFile ini;
    ini.LoadFile(dir.File("in.ini").c_str());
    ini.LoadFile(dir.File("more.ini").c_str());
    EXPECT_EQ(Dump(ini), "[s]\na=1\nc=4\n[t]\nn=1\n");
}

// Generated files read like configparser reads them; written back they read
// the same (minus empty values) here and in configparser.
TEST(INIFileOracle, LoadAndWriteAgreeWithConfigparser) {
    testutil::TempDir dir;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        testutil::WriteFile(dir.File("gen.ini"), configtest::GenerateIni(rng, 300));
        INIFile ini;
        ini.LoadFile(dir.File("gen.ini").c_str());
        const std::string expected = configtest::PythonDump(dir.File("gen.ini"));
        ASSERT_GT(std::count(expected.begin(), expected.end(), '\n'), 80) << expected;
        ASSERT_EQ(Dump(ini), expected);
        ini.WriteFile(dir.File("out.ini").c_str());
        EXPECT_EQ(configtest::PythonDump(dir.File("out.ini")), Dump(ini, true));
        INIFile again;
        again.LoadFile(dir.File("out.ini").c_str());
        EXPECT_EQ(Dump(again), Dump(ini, true));
    }
}

// A failed write throws and leaves the model as it was.
TEST(INIWrite, TextOfTheModelAndFailures) {
    testutil::TempDir dir;
    std::string value;
    for (int i = 0; i < 4500; ++i) value += static_cast<char>('0' + i % 10);
    INIFile ini;
    ini.AddEntry("s", "k", "v", true);
    ini.AddEntry("s", "empty", "", true);
    ini.AddEntry("only empty", "e", "", true);
    ini.AddEntry("t", "long", value.c_str(), true);
    ini.WriteFile(dir.File("out.ini").c_str());
    EXPECT_EQ(testutil::ReadFile(dir.File("out.ini")),
              "\n[s]\nk=v\n\n[only empty]\n\n[t]\nlong=" + value + "\n");
    INIFile().WriteFile(dir.File("out.ini").c_str());  // truncates the file
    EXPECT_EQ(testutil::ReadFile(dir.File("out.ini")), "");

    const std::string before = Dump(ini);
    const std::vector<std::tuple<bool, std::string, const char*, const char*, const char*, int>>
        cases = {
            {false, dir.File("absent.ini"), "Open", "r", "File open failed: ", ENOENT},
            {false, dir.path(), "Fgets", "r", "File fgets failed: ", EISDIR},
            {true, dir.File("no/file.ini"), "Open", "w", "File open failed: ", ENOENT},
            {true, "/dev/full", "Fputs", "w", "File fputs failed: ", ENOSPC},
        };
    for (const auto& [write, path, function, mode, what, code] : cases) {
        SCOPED_TRACE(path);
        try {
            write ? ini.WriteFile(path.c_str()) : ini.LoadFile(path.c_str());
            ADD_FAILURE() << "no exception";
        } catch (const PXMFileException& e) {
            EXPECT_EQ(e.rc, code);
            EXPECT_EQ(e.text, configtest::FileErrorText(function, path, mode, what, code));
        }
        EXPECT_EQ(Dump(ini), before);
    }
}

}  // namespace
