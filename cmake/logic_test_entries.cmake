# Writes ENTRIES, the ctest entries of the logic tests: one per test suite that the test program
# of BINARY_DIR lists and per system of SYSTEMS, each run alone by the emulator (wine/wine.py of
# SOURCE_DIR) in a throwaway prefix of its own. Run after each link of the tests, so that the
# entries are always the program's own suites, none left out and none that is gone.
set(program ${BINARY_DIR}/logic_tests.exe)
execute_process(COMMAND python3 ${SOURCE_DIR}/wine/wine.py ${program} --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
# A suite's line is its name and a dot; its tests' lines are indented.
string(REGEX MATCHALL "\n[A-Za-z0-9_]+\\." suites "\n${listing}")
if(NOT status EQUAL 0 OR NOT suites)
  message(FATAL_ERROR "The logic tests did not list their suites (${status}):\n${listing}")
endif()
set(emulator "python3 [==[${SOURCE_DIR}/wine/wine.py]==]")
string(APPEND emulator " --beside [==[${BINARY_DIR}/WinMail.exe]==]"
  " --beside [==[${SOURCE_DIR}/tests/data/registration.tsv]==]")
set(entries "")
foreach(system IN LISTS SYSTEMS)
  foreach(suite IN LISTS suites)
    string(REGEX REPLACE "[\n.]" "" suite "${suite}")
    string(APPEND entries "add_test(${suite}_on_${system} ${emulator} [==[${program}]==]"
      " --gtest_brief=1 --gtest_filter=${suite}.*)\n"
      "set_tests_properties(${suite}_on_${system} PROPERTIES ENVIRONMENT MOVRIX_SYSTEM=${system})\n")
  endforeach()
endforeach()
file(WRITE ${ENTRIES} "${entries}")
