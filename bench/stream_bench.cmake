# The quoted-printable peer is GMime's encoder and decoder step.
pkg_check_modules(GMIME REQUIRED IMPORTED_TARGET gmime-3.0)
target_link_libraries(${bench_target} PRIVATE PkgConfig::GMIME)
