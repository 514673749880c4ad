# The CRC peer is Boost.CRC (header-only).
find_package(Boost 1.70 REQUIRED CONFIG COMPONENTS headers)
target_link_libraries(${bench_target} PRIVATE Boost::headers)
