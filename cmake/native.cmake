# The native build: every piece of the plug-in that makes no Windows call,
# built with clang for this machine under AddressSanitizer and
# UndefinedBehaviorSanitizer (no recovery), its unit tests, and the fuzz
# targets with their seed corpus.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "Configure with the 'native' preset: the native build uses clang.")
endif()

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra ${sanitizers})
add_link_options(${sanitizers})

add_library(portable STATIC
  workspace/call_details.cpp
  workspace/list_texts.cpp
  workspace/workspace_path.cpp
  scriptable/values.cpp
  scriptable/browser_functions.cpp
  browser/script_call.cpp
  embedding/value.cpp
  messaging/json.cpp
  messaging/host_session.cpp
  messaging/call_pool.cpp
  shell/origin_policy.cpp
)
target_include_directories(portable PUBLIC ${CMAKE_SOURCE_DIR})

enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(native_tests
  tests/values_test.cpp
  tests/script_call_test.cpp
  tests/call_details_test.cpp
  tests/list_texts_test.cpp
  tests/workspace_path_test.cpp
  tests/origin_test.cpp
  tests/call_pool_test.cpp
)
target_link_libraries(native_tests PRIVATE portable gtest_main)
add_test(NAME native_tests COMMAND native_tests)

# Each target runs a fixed number of inputs over its seed corpus; what it
# finds new goes to a working folder, never into the repository's corpus.
set(fuzz_targets call_details volume_list workspace_name script_call host_request origin)
foreach(target ${fuzz_targets})
  add_executable(fuzz_${target} tests/fuzz/fuzz_${target}.cpp)
  target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${target} PRIVATE portable)
  set(work ${CMAKE_BINARY_DIR}/fuzz-work/${target})
  file(MAKE_DIRECTORY ${work})
  add_test(NAME fuzz_${target}
    COMMAND fuzz_${target} -runs=20000 -artifact_prefix=${work}/ ${work}
            ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target})
endforeach()

# scripts/fuzz.sh runs every target the build defines, one second each.
list(SORT fuzz_targets)
list(JOIN fuzz_targets " " fuzz_target_names)
add_test(NAME fuzz_script COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/fuzz.sh 1)
set_tests_properties(fuzz_script PROPERTIES
  PASS_REGULAR_EXPRESSION "fuzz.sh: [0-9]+ targets: ${fuzz_target_names}\n"
  FAIL_REGULAR_EXPRESSION "findings kept" TIMEOUT 300)

# The strict result parser, under Node, against hostile texts and the call
# details text of every file of the decoder's corpus.
add_executable(call_details_texts tests/parse/call_details_texts.cpp)
target_link_libraries(call_details_texts PRIVATE portable)
find_program(NODE NAMES node nodejs REQUIRED)
add_test(NAME result_parser
  COMMAND ${NODE} ${CMAKE_SOURCE_DIR}/tests/parse/parse_test.js $<TARGET_FILE:call_details_texts>
          ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/call_details)

# The client's argument checks, swept over every method of the table.
add_test(NAME client_checks COMMAND ${NODE} ${CMAKE_SOURCE_DIR}/tests/client/client_test.js)
