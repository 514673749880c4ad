# The INI peer is inih, whose handler fills nested std::unordered_maps.
pkg_check_modules(INIH REQUIRED IMPORTED_TARGET inih)
target_link_libraries(${bench_target} PRIVATE PkgConfig::INIH)
