// krtool asn1: the element tree dump of DER data or of the blocks of a PEM
// file, through the library's ASN.1 decoder and Base64 decoder.
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "json_out.h"
#include "krtools/asn1.h"
#include "krtools/bufenc.h"
#include "krtools/exception.h"

namespace {

const char kUsage[] =
    "usage: krtool asn1 [FILE|-]\n"
    "\n"
    "Prints the element tree of the BER/DER data in FILE (default standard\n"
    "input): one line per element with its identifier octet, length and\n"
    "type, and the content octets of primitive elements in hexadecimal.\n"
    "Input that contains \"-----BEGIN \" is read as PEM: every\n"
    "\"-----BEGIN ...-----\" block is Base64-decoded and dumped in turn.\n"
    "Malformed data fails with the decoder's message and exit status 1.\n"
    "--json prints {\"blocks\": [[element...]...]}, each element with its id,\n"
    "class, tag, constructed, indefinite, length and either \"children\" or the\n"
    "\"content\" octets in hexadecimal.\n";

const char kBegin[] = "-----BEGIN ";
const char kEnd[] = "-----END ";
const char kDashes[] = "-----";

// JSON trees nested deeper than this are refused rather than built.
constexpr size_t kDeepestJson = 1000;

const char* ClassName(int tagClass) {
    switch (tagClass) {
        case 0x00:
            return "universal";
        case 0x40:
            return "application";
        case 0x80:
            return "context-specific";
        default:
            return "private";
    }
}

nlohmann::json Describe(KR_ASN1_ELEMENT* e) {
    nlohmann::json element = {{"id", e->id},
                              {"class", ClassName(e->tagClass)},
                              {"tag", e->tagNumber},
                              {"constructed", e->constructed},
                              {"indefinite", e->indefinite},
                              {"length", e->length}};
    if (e->tagNumber == 3 && !e->constructed) element["unused_bits"] = e->unusedBits;
    if (e->constructed) {
        element["children"] = nlohmann::json::array();
    } else {
        element["content"] = e->content != nullptr && e->length > 0
                                 ? krtool::ToHex(e->content, static_cast<size_t>(e->length))
                                 : "";
    }
    return element;
}

// The elements of one level and everything below them, built without
// recursion: `path` holds the arrays of the levels above.
nlohmann::json Tree(KR_ASN1_ELEMENT* first) {
    nlohmann::json top = nlohmann::json::array();
    std::vector<nlohmann::json*> path{&top};
    KR_ASN1_ELEMENT* current = first;
    while (current != nullptr) {
        path.back()->push_back(Describe(current));
        if (current->child != nullptr) {
            if (path.size() > kDeepestJson) {
                throw krtool::InputError("the data is nested more than " +
                                         std::to_string(kDeepestJson) + " levels deep for --json");
            }
            path.push_back(&path.back()->back()["children"]);
            current = current->child;
            continue;
        }
        while (current->sibling == nullptr && current->parent != nullptr && path.size() > 1) {
            current = current->parent;
            path.pop_back();
        }
        current = current->sibling;
    }
    return top;
}

// Decodes one block and prints it, or adds its tree to `blocks`.
void Dump(std::string der, nlohmann::json* blocks) {
    if (der.size() > static_cast<size_t>(INT_MAX)) throw krtool::InputError("input too large");
    KR_ASN1_STRUCTURE structure(reinterpret_cast<unsigned char*>(der.data()),
                                static_cast<int>(der.size()));
    try {
        structure.Decode();
    } catch (const KRException& e) {
        throw krtool::InputError("not valid ASN.1 data: " + e.text.substr(e.text.rfind('\n') + 1),
                                 krtool::LibraryDetail(e));
    }
    if (blocks == nullptr) {
        structure.PrintDepthCapped(64);
    } else {
        blocks->push_back(Tree(structure.root));
    }
}

// The decoded contents of every PEM block of |text|, in order.
std::vector<std::string> PemBlocks(const std::string& text) {
    std::vector<std::string> blocks;
    size_t at = 0;
    while ((at = text.find(kBegin, at)) != std::string::npos) {
        const size_t labelEnd = text.find(kDashes, at + sizeof kBegin - 1);
        if (labelEnd == std::string::npos)
            throw krtool::InputError("PEM line without its closing dashes");
        const size_t body = labelEnd + sizeof kDashes - 1;
        const size_t end = text.find(kEnd, body);
        if (end == std::string::npos) throw krtool::InputError("PEM block without an END line");
        if (end - body > static_cast<size_t>(INT_MAX)) throw krtool::InputError("input too large");
        blocks.push_back(krtool::Base64Decode(text.substr(body, end - body)));
        at = end + sizeof kEnd - 1;
    }
    return blocks;
}

const std::vector<krtool::Option> kOptions = {krtool::kJsonOption};

int RunAsn1(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const std::string input = krtool::ReadInput(args.InputAt(0));
    nlohmann::json blocks = nlohmann::json::array();
    nlohmann::json* json = args.Has("json") ? &blocks : nullptr;
    if (input.find(kBegin) == std::string::npos) {
        Dump(input, json);
    } else {
        for (auto& block : PemBlocks(input)) Dump(std::move(block), json);
    }
    if (json != nullptr) krtool::WriteJson({{"blocks", blocks}});
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("asn1", "dump of the ASN.1 element tree of DER or PEM data", kUsage, kOptions,
                     RunAsn1);
