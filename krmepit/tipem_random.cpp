// TIPEM-style random objects, built on the BSAFE-style random algorithm
// object, and the me, you and co certificate sets.
#include "krmepit/tipem_random.h"

#include <new>

#include "krmepit/bsafe.h"

namespace {

enum class SetKind { Me, You, Co };

// A certificate set; it holds no certificates until the toolkit offers calls
// that add them, so only its kind is kept.
struct CertificateSet {
    SetKind kind;
};

int CreateSet(POINTER* set, SetKind kind) {
    if (set == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *set = new (std::nothrow) CertificateSet{kind};
    return *set == nullptr ? KM_ERROR_ALLOC : KM_OK;
}

void DestroySet(POINTER* set) {
    if (set == nullptr) return;
    delete static_cast<CertificateSet*>(*set);
    *set = nullptr;
}

}  // namespace

int CreateRandomObject(POINTER* randomObject) {
    if (randomObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    B_ALGORITHM_OBJ object = nullptr;
    int status = B_CreateAlgorithmObject(&object);
    if (status == KM_OK) status = B_SetAlgorithmInfo(object, AI_MD5Random, nullptr);
    if (status == KM_OK) status = B_RandomInit(object, DEMO_ALGORITHM_CHOOSER, nullptr);
    if (status != KM_OK) B_DestroyAlgorithmObject(&object);
    *randomObject = object;
    return status;
}

void DestroyRandomObject(POINTER* randomObject) { B_DestroyAlgorithmObject(randomObject); }

int UpdateRandomObject(POINTER randomObject, unsigned char* seed, unsigned int length,
                       POINTER surrender) {
    return B_RandomUpdate(randomObject, seed, length, surrender);
}

int GenerateBytes(unsigned char* out, unsigned int length, POINTER randomObject,
                  POINTER surrender) {
    return B_GenerateRandomBytes(randomObject, out, length, surrender);
}

int GetRandomBytesNeeded(unsigned int* count, POINTER randomObject, POINTER /*surrender*/) {
    if (count == nullptr || randomObject == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    // The object is seeded from the operating system when it is created.
    *count = 0;
    return KM_OK;
}

int CreateNewMeSet(POINTER* meSet) { return CreateSet(meSet, SetKind::Me); }
void DestroyMeSet(POINTER* meSet) { DestroySet(meSet); }
int CreateNewYouSet(POINTER* youSet) { return CreateSet(youSet, SetKind::You); }
void DestroyYouSet(POINTER* youSet) { DestroySet(youSet); }
int CreateCoSet(POINTER* coSet) { return CreateSet(coSet, SetKind::Co); }
void DestroyCoSet(POINTER* coSet) { DestroySet(coSet); }
