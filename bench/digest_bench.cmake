# The MD5 peer is OpenSSL's MD5_Init/MD5_Update/MD5_Final, deprecated in OpenSSL 3.
target_compile_options(${bench_target} PRIVATE -Wno-deprecated-declarations)
