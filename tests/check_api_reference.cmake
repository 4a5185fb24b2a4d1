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
