// Loads arbitrary bytes as a certificate: a failure must be the "SetCertDER"
// exception; a certificate that loads must survive every operation on it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "krtools/cert.h"

namespace {

// The one failure a loaded certificate's names may give: a value holding a
// control character, which the toolkit refuses.
void RequireRefusedName(const KRException& e) {
    if (e.text != "GetNameAVA" || e.rc != KM_ERROR_DATA) abort();
}

void Exercise(TIPEM_CERT_OBJ& cert) {
    cert.Fields();
    cert.GetSHA1ThumbPrint();
    cert.GetPublicKeyHash();
    try {
        cert.GetIssuerSerialHash();
        cert.GetSubjectNameHash();
    } catch (const KRException& e) {
        RequireRefusedName(e);
        return;
    }
    try {
        cert.GetModulusSize();
    } catch (const KRException& e) {
        if (e.rc == 0) abort();
    }
    TIPEM_NAME_OBJ subject;
    char longName[512], common[64];
    subject.BuildLongName(longName, sizeof longName,
                          static_cast<unsigned char*>(cert.fields.subjectName));
    subject.BuildLongName(longName, sizeof longName, common, sizeof common);
    char email[256], party[256];
    DecodeSubjectAltNameExtension(cert.fields.extensions, email, party);
    TIPEM_CERT_OBJ rebuilt;
    try {
        rebuilt.Set(&cert.fields);
    } catch (const KRException& e) {
        if (e.text != "SetCertFields" || e.rc == 0) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::vector<unsigned char> bytes(data, data + size);
    TIPEM_CERT_OBJ cert;
    try {
        cert.Set(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const KRException& e) {
        if (e.text != "SetCertDER" || e.rc == 0) abort();
        return 0;
    }
    if (cert.derLen == 0 || cert.derLen > size) abort();
    Exercise(cert);

    TIPEM_CERT_LIST_OBJ list;
    try {
        list.AddDER(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const KRException& e) {
        if (e.text != "AddCertListDER") abort();
    }
    for (unsigned int i = 0; i < list.Count(); ++i) list.GetCertByIndex(i);
    return 0;
}
