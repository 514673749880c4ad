// Owning wrappers over the crypto toolkit's handles.
#include "krtools/toolkit.h"

namespace {

void Check(int status, const char* function) {
    if (status != 0) throw KRException(status, function);
}

// A negative length is refused before it can reach the toolkit as a huge
// unsigned count.
unsigned int Length(int length, const char* function) {
    if (length < 0) throw KRException(KM_ERROR_INVALID_ARGUMENT, function);
    return static_cast<unsigned int>(length);
}

}  // namespace

// Construction (releasing a half-made object when Create throws), release,
// and moves that leave the source empty.
#define KR_DEFINE_TOOLKIT_OWNER(Class)                                                      \
    Class::Class() : handle(nullptr) {                                                      \
        try {                                                                               \
            Create();                                                                       \
        } catch (...) {                                                                     \
            Destroy();                                                                      \
            throw;                                                                          \
        }                                                                                   \
    }                                                                                       \
    Class::~Class() { Destroy(); }                                                          \
    Class::Class(Class&& other) noexcept : handle(other.handle) { other.handle = nullptr; } \
    Class& Class::operator=(Class&& other) noexcept {                                       \
        if (this != &other) {                                                               \
            Destroy();                                                                      \
            handle = other.handle;                                                          \
            other.handle = nullptr;                                                         \
        }                                                                                   \
        return *this;                                                                       \
    }

KR_DEFINE_TOOLKIT_OWNER(BSAFE_B_ALGORITHM_OBJ)
KR_DEFINE_TOOLKIT_OWNER(BSAFE_B_KEY_OBJ)
KR_DEFINE_TOOLKIT_OWNER(BSAFE_RANDOM_OBJ)
KR_DEFINE_TOOLKIT_OWNER(TIPEM_RANDOM_OBJ)
KR_DEFINE_TOOLKIT_OWNER(TIPEM_ME_SET)
KR_DEFINE_TOOLKIT_OWNER(TIPEM_YOU_SET)
KR_DEFINE_TOOLKIT_OWNER(TIPEM_CO_SET)

#undef KR_DEFINE_TOOLKIT_OWNER

void BSAFE_B_ALGORITHM_OBJ::Create() {
    Destroy();
    Check(B_CreateAlgorithmObject(&handle), "B_CreateAlgorithmObject");
}

void BSAFE_B_ALGORITHM_OBJ::Destroy() {
    B_DestroyAlgorithmObject(&handle);
    handle = nullptr;
}

void BSAFE_B_KEY_OBJ::Create() {
    Destroy();
    Check(B_CreateKeyObject(&handle), "B_CreateKeyObject");
}

void BSAFE_B_KEY_OBJ::Destroy() {
    B_DestroyKeyObject(&handle);
    handle = nullptr;
}

void BSAFE_RANDOM_OBJ::Create() {
    Destroy();
    Check(B_CreateAlgorithmObject(&handle), "B_CreateAlgorithmObject");
    Check(B_SetAlgorithmInfo(handle, AI_MD5Random, nullptr), "B_SetAlgorithmInfo");
    Check(B_RandomInit(handle, DEMO_ALGORITHM_CHOOSER, nullptr), "B_RandomInit");
}

void BSAFE_RANDOM_OBJ::Destroy() {
    B_DestroyAlgorithmObject(&handle);
    handle = nullptr;
}

void BSAFE_RANDOM_OBJ::Update(unsigned char* seed, int length) {
    const char* function = "B_RandomUpdate";
    Check(B_RandomUpdate(handle, seed, Length(length, function), nullptr), function);
}

void BSAFE_RANDOM_OBJ::Generate(unsigned char* out, int length) {
    const char* function = "B_GenerateRandomBytes";
    Check(B_GenerateRandomBytes(handle, out, Length(length, function), nullptr), function);
}

int BSAFE_RANDOM_OBJ::GetBytesNeeded() { return 0; }

void TIPEM_RANDOM_OBJ::Create() {
    Destroy();
    Check(CreateRandomObject(&handle), "CreateRandomObject");
}

void TIPEM_RANDOM_OBJ::Destroy() {
    DestroyRandomObject(&handle);
    handle = nullptr;
}

void TIPEM_RANDOM_OBJ::Update(unsigned char* seed, int length) {
    const char* function = "UpdateRandomObject";
    Check(UpdateRandomObject(handle, seed, Length(length, function), nullptr), function);
}

void TIPEM_RANDOM_OBJ::Generate(unsigned char* out, int length) {
    const char* function = "GenerateBytes";
    Check(GenerateBytes(out, Length(length, function), handle, nullptr), function);
}

int TIPEM_RANDOM_OBJ::GetBytesNeeded() {
    unsigned int count = 0;
    Check(GetRandomBytesNeeded(&count, handle, nullptr), "GetRandomBytesNeeded");
    return static_cast<int>(count);
}

void TIPEM_ME_SET::Create() {
    Destroy();
    Check(CreateNewMeSet(&handle), "CreateNewMeSet");
}

void TIPEM_ME_SET::Destroy() {
    DestroyMeSet(&handle);
    handle = nullptr;
}

void TIPEM_YOU_SET::Create() {
    Destroy();
    Check(CreateNewYouSet(&handle), "CreateNewYouSet");
}

void TIPEM_YOU_SET::Destroy() {
    DestroyYouSet(&handle);
    handle = nullptr;
}

void TIPEM_CO_SET::Create() {
    Destroy();
    Check(CreateCoSet(&handle), "CreateCoSet");
}

void TIPEM_CO_SET::Destroy() {
    DestroyCoSet(&handle);
    handle = nullptr;
}
