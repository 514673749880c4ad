// Symbol visibility for the krtools shared library.
//
// The library is built with hidden visibility; every class and function that
// applications may use carries KRTOOLS_API, so the export list is deliberate.
// Plain functions whose arguments are C types are also declared extern "C"
// (between KRTOOLS_EXTERN_C_BEGIN and KRTOOLS_EXTERN_C_END) so that their
// names are unmangled.
#ifndef KRTOOLS_EXPORT_H
#define KRTOOLS_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define KRTOOLS_API __attribute__((visibility("default")))
#else
#define KRTOOLS_API
#endif

#ifdef __cplusplus
#define KRTOOLS_EXTERN_C_BEGIN extern "C" {
#define KRTOOLS_EXTERN_C_END }
#else
#define KRTOOLS_EXTERN_C_BEGIN
#define KRTOOLS_EXTERN_C_END
#endif

#endif  // KRTOOLS_EXPORT_H
