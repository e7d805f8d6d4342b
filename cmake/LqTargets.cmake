# Helpers shared by every folder's CMakeLists.txt.

# lq_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS fast|slow] [ENV VAR=VALUE...])
# One GoogleTest binary, registered as one CTest test. Every test binary links lqtest_main,
# which fails any test that leaves global memory blocks behind.
function(lq_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS fast)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE lqtest_main ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "QT_QPA_PLATFORM=offscreen;LQ_SOURCE_DIR=${PROJECT_SOURCE_DIR};LQ_BINARY_DIR=${PROJECT_BINARY_DIR}")
  list(APPEND env ${T_ENV})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()

# lq_add_fuzzer(NAME <name> SOURCES <files...> LIBS <targets...> [CORPUS <dir>])
# A libFuzzer entry point (LLVMFuzzerTestOneInput). With LQ_FUZZ it becomes a real fuzzer
# (fuzz-<name>); in every build it is also linked with the replay driver and the test suite
# replays its seed corpus (fuzz/corpus/<name>) through it.
function(lq_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  set(corpus ${PROJECT_SOURCE_DIR}/fuzz/corpus/${F_NAME})
  if(LQ_FUZZ)
    add_executable(fuzz-${F_NAME} ${F_SOURCES})
    target_link_libraries(fuzz-${F_NAME} PRIVATE ${F_LIBS})
    target_link_options(fuzz-${F_NAME} PRIVATE -fsanitize=fuzzer)
  endif()
  if(BUILD_TESTING)
    add_executable(replay-${F_NAME} ${F_SOURCES})
    target_link_libraries(replay-${F_NAME} PRIVATE lqfuzz_replay ${F_LIBS})
    add_test(NAME fuzz-replay-${F_NAME} COMMAND replay-${F_NAME} ${corpus})
    set_tests_properties(fuzz-replay-${F_NAME} PROPERTIES LABELS fast TIMEOUT 600
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# lq_version_script(<target> <file>): export exactly the symbols that <file> lists.
function(lq_version_script target file)
  target_link_options(${target} PRIVATE "-Wl,--version-script=${file}" "-Wl,--no-undefined")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${file})
endfunction()

# lq_add_child_folders(): adds every direct sub-folder of the current folder that has a
# CMakeLists.txt, so that components split into sub-folders need no central list.
function(lq_add_child_folders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(child ${children})
    get_filename_component(dir ${child} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()
