# krtool's manual page and bash completion, generated from the built tool's
# help texts (scripts/krtool-docs, which runs help2man).
find_program(KR_HELP2MAN help2man)
find_package(Python3 COMPONENTS Interpreter)
if(TARGET krtool AND KR_HELP2MAN AND Python3_Interpreter_FOUND)
  set(kr_docs "${PROJECT_BINARY_DIR}/doc")
  add_custom_command(OUTPUT "${kr_docs}/krtool.1.gz" "${kr_docs}/krtool"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/scripts/krtool-docs"
            $<TARGET_FILE:krtool> "${kr_docs}"
    DEPENDS krtool "${PROJECT_SOURCE_DIR}/scripts/krtool-docs"
    COMMENT "Generating the krtool manual page and bash completion")
  add_custom_target(krtool_docs ALL DEPENDS "${kr_docs}/krtool.1.gz" "${kr_docs}/krtool")
  install(FILES "${kr_docs}/krtool.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${kr_docs}/krtool"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
elseif(TARGET krtool)
  add_custom_target(krtool_docs)
  message(STATUS "help2man or Python 3 not found: no krtool manual page or completion")
endif()
