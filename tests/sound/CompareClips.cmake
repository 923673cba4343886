# Runs the clip generator into OUT and compares every clip with the one kept in REF.
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GEN} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${rc}")
endif()
foreach(name count Hit Lose)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name}.wav ${REF}/${name}.wav
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name}.wav differs from what the generator makes")
  endif()
endforeach()
