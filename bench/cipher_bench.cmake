# The peers are OpenSSL's own DES and RC2 functions, deprecated in OpenSSL 3.
target_compile_options(${bench_target} PRIVATE -Wno-deprecated-declarations)
