/* TIPEM-style random objects and the me, you and co sets. */
#ifndef KRMEPIT_TIPEM_RANDOM_H
#define KRMEPIT_TIPEM_RANDOM_H

#include "krmepit/krmepit_export.h"
#include "krmepit/krmepit_types.h"

KRMEPIT_EXTERN_C_BEGIN

/* Creates a random object at *randomObject; 0 or a status. */
KRMEPIT_API int CreateRandomObject(POINTER* randomObject);
/* Releases the random object at *randomObject (null is harmless) and sets it
 * to null. */
KRMEPIT_API void DestroyRandomObject(POINTER* randomObject);
/* Mixes `length` seed octets into the object. */
KRMEPIT_API int UpdateRandomObject(POINTER randomObject, unsigned char* seed, unsigned int length,
                                   POINTER surrender);
/* Writes `length` random octets to `out`. */
KRMEPIT_API int GenerateBytes(unsigned char* out, unsigned int length, POINTER randomObject,
                              POINTER surrender);
/* Stores in *count how many seed octets the object still wants (0 when it is
 * seeded). */
KRMEPIT_API int GetRandomBytesNeeded(unsigned int* count, POINTER randomObject, POINTER surrender);

/* The me, you and co sets: containers of the caller's own, its partners' and
 * trusted certificates. Created at *set, released (null is harmless) and set
 * to null. */
KRMEPIT_API int CreateNewMeSet(POINTER* meSet);
KRMEPIT_API void DestroyMeSet(POINTER* meSet);
KRMEPIT_API int CreateNewYouSet(POINTER* youSet);
KRMEPIT_API void DestroyYouSet(POINTER* youSet);
KRMEPIT_API int CreateCoSet(POINTER* coSet);
KRMEPIT_API void DestroyCoSet(POINTER* coSet);

KRMEPIT_EXTERN_C_END

#endif /* KRMEPIT_TIPEM_RANDOM_H */
