// krtool params: reads a parameter file record by record with ParseObj.
#include <string>
#include <vector>

#include "command.h"
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
    "message, with exit status 1.\n";

void PrintRecord(const ParseObj& parser, int record) {
    for (const auto& entry : parser.entries) {
        krtool::WriteOutput(std::to_string(record) + " " + std::to_string(entry.lineNumber) + ":" +
                            std::to_string(entry.column) + " " + entry.keyword + "=" + entry.value +
                            "\n");
    }
}

const std::vector<krtool::Option> kOptions = {
    {0, "escapes", nullptr, "paren only: a backslash quotes the next character in values"},
};

int RunParams(const krtool::Args& args) {
    args.ExpectPositional(1, 2);
    const std::string& style = args.Positional()[0];
    if (style != "paren" && style != "equal") {
        throw krtool::UsageError("style must be paren or equal");
    }
    const bool paren = style == "paren";
    const bool escapes = args.Has("--escapes");
    if (escapes && !paren) throw krtool::UsageError("--escapes applies to paren only");

    ParseObj parser;
    const std::string path = args.InputAt(1);
    if (path != "-") krtool::InputFile probe(path);  // a plain message when it cannot be read
    if (parser.Init(path == "-" ? "/dev/stdin" : path.c_str()) != 0) {
        throw krtool::InputError("cannot read " + krtool::InputName(path), parser.errorText);
    }
    for (int record = 1;; ++record) {
        const int result = paren ? parser.ParseParenStyle(escapes) : parser.ParseEqualStyle();
        PrintRecord(parser, record);
        if (result == 2) return 0;
        if (result != 1) throw krtool::InputError(parser.errorText);
    }
}

}  // namespace

KRTOOL_COMMAND_TABLE("params", "read parameter files record by record", kUsage, kOptions,
                     RunParams);
