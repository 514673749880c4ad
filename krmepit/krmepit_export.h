/* Symbol visibility for the krmepit toolkit library. */
#ifndef KRMEPIT_EXPORT_H
#define KRMEPIT_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define KRMEPIT_API __attribute__((visibility("default")))
#else
#define KRMEPIT_API
#endif

#ifdef __cplusplus
#define KRMEPIT_EXTERN_C_BEGIN extern "C" {
#define KRMEPIT_EXTERN_C_END }
#else
#define KRMEPIT_EXTERN_C_BEGIN
#define KRMEPIT_EXTERN_C_END
#endif

#endif /* KRMEPIT_EXPORT_H */
