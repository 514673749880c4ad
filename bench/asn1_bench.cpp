// Element tree decoding of every certificate of the system bundle, against a
// full walk of the same octets with OpenSSL's ASN1_get_object that descends
// into every constructed element, as the tree builder does.
#include <benchmark/benchmark.h>
#include <openssl/asn1.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <vector>

#include "krtools/asn1.h"

namespace {

using Der = std::vector<unsigned char>;

// The DER form of every certificate of the system bundle.
const std::vector<Der>& BundleCertificates() {
    static const std::vector<Der> certificates = [] {
        std::vector<Der> all;
        FILE* file = std::fopen("/etc/ssl/certs/ca-certificates.crt", "r");
        if (file == nullptr) return all;
        while (X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr)) {
            unsigned char* der = nullptr;
            const int length = i2d_X509(cert, &der);
            if (length > 0) all.emplace_back(der, der + length);
            OPENSSL_free(der);
            X509_free(cert);
        }
        std::fclose(file);
        return all;
    }();
    return certificates;
}

int64_t BundleBytes() {
    int64_t bytes = 0;
    for (const auto& der : BundleCertificates()) bytes += static_cast<int64_t>(der.size());
    return bytes;
}

// Visits every element the way a tree builder would: each header, then the
// contents of constructed elements. Returns the element count, -1 on error.
long PeerWalk(const unsigned char* p, long length) {
    const unsigned char* const end = p + length;
    long count = 0;
    while (p < end) {
        const unsigned char* q = p;
        long contentLength = 0;
        int tag = 0;
        int tagClass = 0;
        const int info = ASN1_get_object(&q, &contentLength, &tag, &tagClass, end - p);
        if (info & 0x80) return -1;
        ++count;
        if (info & V_ASN1_CONSTRUCTED) {
            const long inner = PeerWalk(q, contentLength);
            if (inner < 0) return -1;
            count += inner;
        }
        p = q + contentLength;
    }
    return count;
}

void ReportCertificates(benchmark::State& state, bool perCertificate) {
    const auto certificates = static_cast<int64_t>(BundleCertificates().size());
    if (perCertificate) {
        state.SetItemsProcessed(state.iterations() * certificates);
    } else {
        state.SetBytesProcessed(state.iterations() * BundleBytes());
    }
    state.counters["cert_time"] = benchmark::Counter(
        static_cast<double>(certificates),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The elements of the tree below (and after) |e|, walked without recursion.
long CountElements(const KR_ASN1_ELEMENT* e) {
    long count = 0;
    while (e != nullptr) {
        ++count;
        if (e->child != nullptr) {
            e = e->child;
            continue;
        }
        while (e != nullptr && e->sibling == nullptr) e = e->parent;
        if (e != nullptr) e = e->sibling;
    }
    return count;
}

// True when the tree of every certificate has as many elements as the peer
// walk visits, so that both sides do the same amount of parsing.
bool SameElementCounts(const std::vector<Der>& certificates) {
    for (auto der : certificates) {
        KR_ASN1_STRUCTURE structure;
        structure.Decode(der.data(), static_cast<int>(der.size()));
        if (CountElements(structure.root) != PeerWalk(der.data(), static_cast<long>(der.size()))) {
            return false;
        }
    }
    return true;
}

// Each Decode copies the certificate into the structure's buffer and builds
// its tree, releasing the previous certificate's tree as it goes; the peer
// copies nothing and builds nothing. Decoding structures that hold their
// certificate already (one structure per certificate, Decode() without
// arguments) saves the copy but keeps the trees of all certificates alive,
// about 1 MiB of elements that no longer stay in the first-level cache, and
// measured slower than this loop.
void Ours(benchmark::State& state, bool perCertificate) {
    auto certificates = BundleCertificates();
    if (certificates.empty()) state.SkipWithError("no certificates in the system bundle");
    if (!SameElementCounts(certificates))
        state.SkipWithError("element counts differ from the peer");
    KR_ASN1_STRUCTURE structure;
    for (auto _ : state) {
        for (auto& der : certificates) {
            structure.Decode(der.data(), static_cast<int>(der.size()));
            benchmark::DoNotOptimize(structure.root);
        }
    }
    ReportCertificates(state, perCertificate);
    state.SetLabel("target=1.0");
}

void Peer(benchmark::State& state, bool perCertificate) {
    const auto& certificates = BundleCertificates();
    if (certificates.empty()) state.SkipWithError("no certificates in the system bundle");
    for (auto _ : state) {
        for (const auto& der : certificates) {
            long elements = PeerWalk(der.data(), static_cast<long>(der.size()));
            if (elements < 0) state.SkipWithError("ASN1_get_object failed");
            benchmark::DoNotOptimize(elements);
        }
    }
    ReportCertificates(state, perCertificate);
}

// The DER of every certificate of the bundle, |copies| times over, in one
// buffer: one structure with a chain of top-level elements.
const std::vector<unsigned char>& BundleCopies(int copies) {
    static std::vector<std::vector<unsigned char>> made(101);
    auto& all = made[static_cast<size_t>(copies)];
    if (all.empty()) {
        for (int copy = 0; copy < copies; ++copy)
            for (const auto& der : BundleCertificates())
                all.insert(all.end(), der.begin(), der.end());
    }
    return all;
}

// One Decode of |copies| bundles per iteration. The bytes per second of the
// 1 and 100 copy rows show what a larger tree costs per byte.
void CopiesOurs(benchmark::State& state, int copies) {
    auto all = BundleCopies(copies);
    KR_ASN1_STRUCTURE structure;
    structure.Decode(all.data(), static_cast<int>(all.size()));
    if (CountElements(structure.root) != PeerWalk(all.data(), static_cast<long>(all.size())))
        state.SkipWithError("element counts differ from the peer");
    for (auto _ : state) {
        structure.Decode(all.data(), static_cast<int>(all.size()));
        benchmark::DoNotOptimize(structure.root);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(all.size()));
}

void CopiesPeer(benchmark::State& state, int copies) {
    const auto& all = BundleCopies(copies);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeerWalk(all.data(), static_cast<long>(all.size())));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(all.size()));
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("asn1_decode_bundle_x1/ours", CopiesOurs, 1);
    benchmark::RegisterBenchmark("asn1_decode_bundle_x1/peer", CopiesPeer, 1);
    benchmark::RegisterBenchmark("asn1_decode_bundle_x100/ours", CopiesOurs, 100);
    benchmark::RegisterBenchmark("asn1_decode_bundle_x100/peer", CopiesPeer, 100);
    benchmark::RegisterBenchmark("asn1_decode_bundle/ours", Ours, false);
    benchmark::RegisterBenchmark("asn1_decode_bundle/peer", Peer, false);
    benchmark::RegisterBenchmark("asn1_decode_per_cert/ours", Ours, true);
    benchmark::RegisterBenchmark("asn1_decode_per_cert/peer", Peer, true);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
