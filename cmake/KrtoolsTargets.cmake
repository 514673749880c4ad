# Each component is a folder of sources (subfolders included) compiled once
# into an object library (kr_<name>_obj) and offered as a static library
# (kr_<name>) that links the components it may use. Tests and fuzzers link
# the static libraries; the installed libraries are assembled from the same
# objects.

set(KR_LIBRARY_COMPONENTS "" CACHE INTERNAL "")

function(kr_add_component name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${PROJECT_SOURCE_DIR}/${ARG_DIR}/*.cpp" "${PROJECT_SOURCE_DIR}/${ARG_DIR}/*.c")
  if(NOT sources)
    add_library(kr_${name} INTERFACE)
    target_include_directories(kr_${name} INTERFACE
      "${PROJECT_SOURCE_DIR}/include" "${PROJECT_BINARY_DIR}/include" "${PROJECT_SOURCE_DIR}")
    target_link_libraries(kr_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(kr_${name}_obj OBJECT ${sources})
  target_include_directories(kr_${name}_obj PUBLIC
    "${PROJECT_SOURCE_DIR}/include" "${PROJECT_BINARY_DIR}/include" "${PROJECT_SOURCE_DIR}")
  target_compile_definitions(kr_${name}_obj PRIVATE KRTOOLS_BUILDING KRMEPIT_BUILDING)
  target_link_libraries(kr_${name}_obj PUBLIC ${ARG_DEPS})
  add_library(kr_${name} STATIC $<TARGET_OBJECTS:kr_${name}_obj>)
  target_include_directories(kr_${name} PUBLIC
    "${PROJECT_SOURCE_DIR}/include" "${PROJECT_BINARY_DIR}/include" "${PROJECT_SOURCE_DIR}")
  target_link_libraries(kr_${name} PUBLIC ${ARG_DEPS})
  if(NOT name STREQUAL "krmepit")
    set(KR_LIBRARY_COMPONENTS ${KR_LIBRARY_COMPONENTS} ${name} CACHE INTERNAL "")
  endif()
endfunction()

# A shared library exports what its headers mark, and no standard library
# template instances (cmake/exports.map).
function(kr_limit_exports target)
  set(map "${PROJECT_SOURCE_DIR}/cmake/exports.map")
  target_link_options(${target} PRIVATE "LINKER:--version-script=${map}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${map}")
endfunction()

# libkrmepit and libkrtools, shared and static, from the component objects.
function(kr_add_libraries)
  set(objects "")
  foreach(c IN LISTS KR_LIBRARY_COMPONENTS)
    list(APPEND objects $<TARGET_OBJECTS:kr_${c}_obj>)
  endforeach()

  if(TARGET kr_krmepit_obj)
    add_library(krmepit_shared SHARED $<TARGET_OBJECTS:kr_krmepit_obj>)
    add_library(krmepit_static STATIC $<TARGET_OBJECTS:kr_krmepit_obj>)
  else()
    add_library(krmepit_shared INTERFACE)
    add_library(krmepit_static INTERFACE)
  endif()
  foreach(t krmepit_shared krmepit_static)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    set_target_properties(${t} PROPERTIES OUTPUT_NAME krmepit
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    if(t STREQUAL "krmepit_shared")
      kr_limit_exports(${t})
    endif()
    target_include_directories(${t} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_link_libraries(${t} PUBLIC OpenSSL::Crypto)
  endforeach()

  add_library(krtools_shared SHARED ${objects})
  add_library(krtools_static STATIC ${objects})
  target_link_libraries(krtools_shared PUBLIC krmepit_shared OpenSSL::Crypto OpenSSL::SSL)
  target_link_libraries(krtools_static PUBLIC krmepit_static OpenSSL::Crypto OpenSSL::SSL)
  foreach(t krtools_shared krtools_static)
    set_target_properties(${t} PROPERTIES OUTPUT_NAME krtools
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    target_include_directories(${t} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
      $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  endforeach()
  kr_limit_exports(krtools_shared)
  # Installed, libkrtools finds libkrmepit beside itself.
  set_target_properties(krtools_shared PROPERTIES INSTALL_RPATH "$ORIGIN")
  add_library(krtools::krtools ALIAS krtools_shared)
  add_library(krtools::krtools_static ALIAS krtools_static)
endfunction()
