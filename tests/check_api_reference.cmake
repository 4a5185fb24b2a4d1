# Writes the reference from the method table into a scratch folder and fails
# when the committed files differ: they cannot drift from the table.
execute_process(COMMAND ${EMULATOR} ${GENERATOR} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "api-reference failed")
endif()
foreach(file docs/script-api.md types/npDravenilFileAccessPlugin.d.ts extension/methods.js)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SOURCE}/${file} ${OUT}/${file}
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${file} is not what the method table gives; run "
                        "cmake --build --preset windows --target api-reference-update")
  endif()
endforeach()

# What else names the methods follows the table too: the README's counts of
# them, and the TypeScript sample, which calls every one.
file(STRINGS ${OUT}/extension/methods.js rows REGEX "^  \\[\"[A-Za-z]+\", ")
list(LENGTH rows count)
file(READ ${SOURCE}/README.md readme)
string(REGEX MATCHALL "[0-9]+ methods" stated "${readme}")
foreach(text IN LISTS stated)
  if(NOT text STREQUAL "${count} methods")
    message(FATAL_ERROR "README.md says \"${text}\"; the method table has ${count}")
  endif()
endforeach()
file(READ ${SOURCE}/tests/typescript/sample.ts sample)
foreach(row IN LISTS rows)
  string(REGEX MATCH "\"([A-Za-z]+)\"" quoted "${row}")
  string(FIND "${sample}" ".${CMAKE_MATCH_1}(" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "tests/typescript/sample.ts does not call ${CMAKE_MATCH_1}")
  endif()
endforeach()
