# Runs the database tool for DIR unless DIR already holds xsdata.d.
if(EXISTS "${DIR}/xsdata.d")
  return()
endif()
execute_process(COMMAND "${TOOL}" "${DIR}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not create ${DIR}/xsdata.d")
endif()
