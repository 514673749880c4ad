// krtool params: reads a parameter file record by record with ParseObj.
#include <string>
#include <vector>

#include "command.h"
#include "json_out.h"
#include "krtools/exception.h"
#include "krtools/params.h"

namespace {

const char kUsage[] =
    "usage: krtool params paren|equal [--escapes] [FILE|-]\n"
    "Reads FILE (default standard input) as parameter records, keyword(value) pairs (paren) or\n"
    "keyword=value pairs (equal), records closed by \";\". Prints one line per\n"
    "pair:\n"
    "  RECORD LINE:COLUMN KEYWORD=VALUE\n"
    "with the record counted from 1, the line from 1 and the column from 0.\n"
    "--escapes (paren only) makes a backslash quote the next character in\n"
    "values. A syntax error prints the pairs read so far and the parser's\n"
    "message, with exit status 1. --json prints {\"records\": [[{\"line\", \"column\",\n"
    "\"keyword\", \"value\"}...]...]} instead, and nothing on a syntax error.\n";

const std::vector<krtool::Option> kOptions = {
    {0, "escapes", nullptr, "paren only: a backslash quotes the next character in values"},
    krtool::kJsonOption,
};

nlohmann::json Record(const ParseObj& parser) {
    nlohmann::json pairs = nlohmann::json::array();
    for (const auto& entry : parser.entries) {
        pairs.push_back({{"line", entry.lineNumber},
                         {"column", entry.column},
                         {"keyword", entry.keyword},
                         {"value", entry.value}});
    }
    return pairs;
}

void PrintRecord(const nlohmann::json& pairs, int record) {
    for (const auto& pair : pairs) {
        krtool::WriteOutput(std::to_string(record) + " " + std::to_string(pair["line"].get<int>()) +
                            ":" + std::to_string(pair["column"].get<int>()) + " " +
                            pair["keyword"].get<std::string>() + "=" +
                            pair["value"].get<std::string>() + "\n");
    }
}

int RunParams(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& style = args.Positional()[0];
    if (style != "paren" && style != "equal") {
        throw krtool::UsageError("style must be paren or equal");
    }
    const bool paren = style == "paren";
    const bool escapes = args.Has("escapes");
    if (escapes && !paren) throw krtool::UsageError("--escapes applies to paren only");

    ParseObj parser;
    const std::string path = args.InputAt(1);
    if (path != "-") krtool::InputFile probe(path);  // a plain message when it cannot be read
    if (parser.Init(path == "-" ? "/dev/stdin" : path.c_str()) != 0) {
        throw krtool::InputError("cannot read " + krtool::InputName(path), parser.errorText);
    }
    nlohmann::json records = nlohmann::json::array();
    for (int record = 1;; ++record) {
        const int result = paren ? parser.ParseParenStyle(escapes) : parser.ParseEqualStyle();
        nlohmann::json pairs = Record(parser);
        if (!args.Has("json")) PrintRecord(pairs, record);
        if (!pairs.empty() || result == 1) records.push_back(std::move(pairs));
        if (result == 2) break;
        if (result != 1) {
            const KRException failure(result, parser.errorText.c_str());
            throw krtool::InputError(krtool::DescribeLibraryError(failure),
                                     krtool::LibraryDetail(failure));
        }
    }
    if (args.Has("json")) krtool::WriteJson({{"records", records}});
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("params", "read parameter files record by record", kUsage, kOptions,
                     RunParams);
