// krtool asn1: the element tree dump of DER data or of the blocks of a PEM
// file, through the library's ASN.1 decoder and Base64 decoder.
#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "krtools/asn1.h"
#include "krtools/bufenc.h"

namespace {

const char kUsage[] =
    "usage: krtool asn1 [FILE|-]\n"
    "\n"
    "Prints the element tree of the BER/DER data in FILE (default standard\n"
    "input): one line per element with its identifier octet, length and\n"
    "type, and the content octets of primitive elements in hexadecimal.\n"
    "Input that contains \"-----BEGIN \" is read as PEM: every\n"
    "\"-----BEGIN ...-----\" block is Base64-decoded and dumped in turn.\n"
    "Malformed data fails with the decoder's message and exit status 1.\n";

const char kBegin[] = "-----BEGIN ";
const char kEnd[] = "-----END ";
const char kDashes[] = "-----";

void Dump(std::string der) {
    if (der.size() > static_cast<size_t>(INT_MAX)) throw krtool::InputError("input too large");
    KR_ASN1_STRUCTURE structure(reinterpret_cast<unsigned char*>(der.data()),
                                static_cast<int>(der.size()));
    structure.Decode();
    structure.PrintDepthCapped(64);
}

std::string Base64Decode(const std::string& text) {
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    std::string bytes(text.size() * 3 / 4 + 1, '\0');
    const int written = UnfilterData(text.data(), reinterpret_cast<unsigned char*>(&bytes[0]),
                                     static_cast<int>(text.size()), &context);
    bytes.resize(static_cast<size_t>(written));
    return bytes;
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
        blocks.push_back(Base64Decode(text.substr(body, end - body)));
        at = end + sizeof kEnd - 1;
    }
    return blocks;
}

const std::vector<krtool::Option> kOptions = {};

int RunAsn1(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const std::string input = krtool::ReadInput(args.InputAt(0));
    if (input.find(kBegin) == std::string::npos) {
        Dump(input);
        return 0;
    }
    for (auto& block : PemBlocks(input)) Dump(std::move(block));
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("asn1", "dump of the ASN.1 element tree of DER or PEM data", kUsage, kOptions,
                     RunAsn1);
