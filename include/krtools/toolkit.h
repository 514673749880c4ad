// Owning wrappers over the crypto toolkit's handles.
//
// Each wrapper holds one toolkit handle in its public member `handle` (null
// while nothing is held). The constructor calls Create, the destructor
// Destroy. A failing toolkit call throws KRException with the toolkit status
// as rc and the toolkit function's name as the whole text. Wrappers are not
// copyable (two copies would release one handle twice); they are movable, the
// source then holding null.
#ifndef KRTOOLS_TOOLKIT_H
#define KRTOOLS_TOOLKIT_H

#include "krmepit/bsafe.h"
#include "krmepit/tipem_random.h"
#include "krtools/exception.h"
#include "krtools/export.h"

// An algorithm object (B_CreateAlgorithmObject / B_DestroyAlgorithmObject).
class KRTOOLS_API BSAFE_B_ALGORITHM_OBJ {
public:
    B_ALGORITHM_OBJ handle;

    // Throws "B_CreateAlgorithmObject".
    BSAFE_B_ALGORITHM_OBJ();
    ~BSAFE_B_ALGORITHM_OBJ();
    BSAFE_B_ALGORITHM_OBJ(const BSAFE_B_ALGORITHM_OBJ&) = delete;
    BSAFE_B_ALGORITHM_OBJ& operator=(const BSAFE_B_ALGORITHM_OBJ&) = delete;
    BSAFE_B_ALGORITHM_OBJ(BSAFE_B_ALGORITHM_OBJ&& other) noexcept;
    BSAFE_B_ALGORITHM_OBJ& operator=(BSAFE_B_ALGORITHM_OBJ&& other) noexcept;

    // Releases the held object, then creates a new one. Throws
    // "B_CreateAlgorithmObject".
    void Create();
    // Releases the held object (harmless when none); handle becomes null.
    void Destroy();
};

// A key object (B_CreateKeyObject / B_DestroyKeyObject).
class KRTOOLS_API BSAFE_B_KEY_OBJ {
public:
    B_KEY_OBJ handle;

    // Throws "B_CreateKeyObject".
    BSAFE_B_KEY_OBJ();
    ~BSAFE_B_KEY_OBJ();
    BSAFE_B_KEY_OBJ(const BSAFE_B_KEY_OBJ&) = delete;
    BSAFE_B_KEY_OBJ& operator=(const BSAFE_B_KEY_OBJ&) = delete;
    BSAFE_B_KEY_OBJ(BSAFE_B_KEY_OBJ&& other) noexcept;
    BSAFE_B_KEY_OBJ& operator=(BSAFE_B_KEY_OBJ&& other) noexcept;

    // Releases the held key, then creates a new one. Throws "B_CreateKeyObject".
    void Create();
    void Destroy();
};

// A random algorithm object: created, set to AI_MD5Random and initialised
// with DEMO_ALGORITHM_CHOOSER.
class KRTOOLS_API BSAFE_RANDOM_OBJ {
public:
    B_ALGORITHM_OBJ handle;

    // Throws "B_CreateAlgorithmObject", "B_SetAlgorithmInfo" or
    // "B_RandomInit"; nothing stays allocated then.
    BSAFE_RANDOM_OBJ();
    ~BSAFE_RANDOM_OBJ();
    BSAFE_RANDOM_OBJ(const BSAFE_RANDOM_OBJ&) = delete;
    BSAFE_RANDOM_OBJ& operator=(const BSAFE_RANDOM_OBJ&) = delete;
    BSAFE_RANDOM_OBJ(BSAFE_RANDOM_OBJ&& other) noexcept;
    BSAFE_RANDOM_OBJ& operator=(BSAFE_RANDOM_OBJ&& other) noexcept;

    // Releases the held object and makes a new one; throws as the
    // constructor. An object created before a failing step stays held.
    void Create();
    void Destroy();
    // Mixes `length` seed octets in. Throws "B_RandomUpdate" (a negative
    // length is refused with KM_ERROR_INVALID_ARGUMENT).
    void Update(unsigned char* seed, int length);
    // Writes `length` random octets. Throws "B_GenerateRandomBytes".
    void Generate(unsigned char* out, int length);
    // Always 0.
    int GetBytesNeeded();
};

// A TIPEM-style random object (CreateRandomObject / DestroyRandomObject).
class KRTOOLS_API TIPEM_RANDOM_OBJ {
public:
    POINTER handle;

    // Throws "CreateRandomObject".
    TIPEM_RANDOM_OBJ();
    ~TIPEM_RANDOM_OBJ();
    TIPEM_RANDOM_OBJ(const TIPEM_RANDOM_OBJ&) = delete;
    TIPEM_RANDOM_OBJ& operator=(const TIPEM_RANDOM_OBJ&) = delete;
    TIPEM_RANDOM_OBJ(TIPEM_RANDOM_OBJ&& other) noexcept;
    TIPEM_RANDOM_OBJ& operator=(TIPEM_RANDOM_OBJ&& other) noexcept;

    void Create();
    void Destroy();
    // Throws "UpdateRandomObject" (negative length: KM_ERROR_INVALID_ARGUMENT).
    void Update(unsigned char* seed, int length);
    // Throws "GenerateBytes" (negative length: KM_ERROR_INVALID_ARGUMENT).
    void Generate(unsigned char* out, int length);
    // The seed octets the object still wants. Throws "GetRandomBytesNeeded".
    int GetBytesNeeded();
};

// The set of the caller's own certificates (CreateNewMeSet / DestroyMeSet).
class KRTOOLS_API TIPEM_ME_SET {
public:
    POINTER handle;

    // Throws "CreateNewMeSet".
    TIPEM_ME_SET();
    ~TIPEM_ME_SET();
    TIPEM_ME_SET(const TIPEM_ME_SET&) = delete;
    TIPEM_ME_SET& operator=(const TIPEM_ME_SET&) = delete;
    TIPEM_ME_SET(TIPEM_ME_SET&& other) noexcept;
    TIPEM_ME_SET& operator=(TIPEM_ME_SET&& other) noexcept;

    void Create();
    void Destroy();
};

// The set of the partners' certificates (CreateNewYouSet / DestroyYouSet).
class KRTOOLS_API TIPEM_YOU_SET {
public:
    POINTER handle;

    // Throws "CreateNewYouSet".
    TIPEM_YOU_SET();
    ~TIPEM_YOU_SET();
    TIPEM_YOU_SET(const TIPEM_YOU_SET&) = delete;
    TIPEM_YOU_SET& operator=(const TIPEM_YOU_SET&) = delete;
    TIPEM_YOU_SET(TIPEM_YOU_SET&& other) noexcept;
    TIPEM_YOU_SET& operator=(TIPEM_YOU_SET&& other) noexcept;

    void Create();
    void Destroy();
};

// The set of trusted certificates (CreateCoSet / DestroyCoSet).
class KRTOOLS_API TIPEM_CO_SET {
public:
    POINTER handle;

    // Throws "CreateCoSet".
    TIPEM_CO_SET();
    ~TIPEM_CO_SET();
    TIPEM_CO_SET(const TIPEM_CO_SET&) = delete;
    TIPEM_CO_SET& operator=(const TIPEM_CO_SET&) = delete;
    TIPEM_CO_SET(TIPEM_CO_SET&& other) noexcept;
    TIPEM_CO_SET& operator=(TIPEM_CO_SET&& other) noexcept;

    void Create();
    void Destroy();
};

#endif  // KRTOOLS_TOOLKIT_H
