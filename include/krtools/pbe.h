// Password-based encryption: KR_PBE.
#ifndef KRTOOLS_PBE_H
#define KRTOOLS_PBE_H

#include <cstdint>

#include "krtools/console.h"
#include "krtools/export.h"

// Encrypts a message of 1 to 65536 octets under a password with PKCS #5
// v1.5 password-based encryption (MD5 and DES-CBC) through the crypto
// toolkit, and decrypts such data again.
//
// The encrypted data is the DER SEQUENCE { AlgorithmIdentifier, OCTET STRING
// ciphertext } (a PKCS #8 EncryptedPrivateKeyInfo when the message is a
// PrivateKeyInfo). Encrypt gives it as Base64 text (no line breaks, no NUL),
// which always begins with "M". The salt is the first 8 octets of the MD5 of
// message followed by password, so equal inputs give equal text.
//
// Every failure throws KRException(rc, "KR_PBE::<operation>", description):
//   -1 "Message pointer cannot be NULL"
//   -2 "Message length must be a number from 1 to 65536"
//   -3 "Password pointer cannot be NULL"
//   -4 "Password length must be a number from 1 to 65536"
//   -5 "Invalid password-based encryption algorithm"
//   -6 "Iteration count must be a number from 1 to 65536"
//   -7 "ASN1 tag is NULL or its length is < 4"
//   -8 "ASN1 indefinite length tag not supported"
//   -9 "Too many ASN1 length bytes in tag (> 2)"
//   -10 "ASN1 length = 0 or greater than length of data"
//   a toolkit status, with the toolkit function's name ("B_SetAlgorithmInfo",
//   "B_DecryptFinal", ...) as the description.
// After a failure the settings are unchanged (except that Decrypt of Base64
// text has already replaced the message by its decoded octets); the result
// may have been replaced.
//
// Not copyable: the object owns its three buffers.
class KRTOOLS_API KR_PBE {
public:
    // Empty buffers, iteration count 1000, algorithm 0.
    KR_PBE();
    ~KR_PBE() = default;
    KR_PBE(const KR_PBE&) = delete;
    KR_PBE& operator=(const KR_PBE&) = delete;

    // Stores a copy of the message (plaintext for Encrypt, Base64 text or
    // binary data for Decrypt). Throws -1 or -2 ("KR_PBE::SetMessage").
    void SetMessage(const unsigned char* message, unsigned int length);
    // Stores a copy of the password octets. Throws -3 or -4.
    void SetPassword(const unsigned char* password, unsigned int length);
    // Only 0 (MD5 with DES-CBC) is accepted. Throws -5.
    void SetPbeAlg(int algorithm);
    // 1 to 65536. Throws -6.
    void SetIterationCount(int count);

    // Checks the stored settings (-1 to -6, "KR_PBE::Encrypt"), encrypts and
    // leaves the Base64 text in the result.
    void Encrypt();
    // Checks the message and password (-1 to -4, "KR_PBE::Decrypt"), decodes
    // a message that begins with "M" from Base64, then decrypts; the
    // identifier may be pbeWithMD5AndDES-CBC or pbeWithSHA1AndDES-CBC and
    // carries the salt and the iteration count (the toolkit refuses counts
    // above KM_PBE_MAX_ITERATIONS with KM_ERROR_DATA, "B_SetAlgorithmInfo").
    // A wrong password usually shows as the toolkit's KM_ERROR_DECRYPT from
    // "B_DecryptFinal".
    void Decrypt();

    // The result of the last Encrypt or Decrypt, valid until the next one or
    // the object's end; not NUL-terminated.
    unsigned char* GetResult() { return result.ptr; }
    // Its length: characters after Encrypt, plaintext octets after Decrypt.
    int GetResultLen() { return result.size; }

protected:
    // Encrypts the message into the binary SEQUENCE, kept in `result`.
    void DoPbe1();
    // Writes the identifier octet `tag` and the DER length octets of `length`
    // (2 to 6 octets in all) to `out`, their count to *outLength.
    void CreateTag(unsigned char tag, unsigned int length, unsigned char* out,
                   unsigned int* outLength);
    // Reads a header: *length holds on entry the octets available from `tag`
    // and on return the header's length; returns the content length. At most
    // two length octets are accepted. Throws -7, -8 or -9 ("KR_PBE::ParseTag").
    unsigned int ParseTag(const unsigned char* tag, unsigned int* length);
    // Replaces `result` by its Base64 text.
    void FilterResult();
    // Replaces `message` by its Base64-decoded octets.
    void UnfilterMessage();

    KR_DYNAMIC_PTR message;
    KR_DYNAMIC_PTR password;
    KR_DYNAMIC_PTR result;
    int32_t iterationCount;
    int32_t pbeAlgorithm;

private:
    void CheckMessageAndPassword(const char* where);
    void DecryptCiphertext(const unsigned char* identifier, unsigned int identifierLength,
                           const unsigned char* ciphertext, unsigned int ciphertextLength);
};

#endif  // KRTOOLS_PBE_H
