# Runs a fuzz target once over every seed file of a folder: cmake -D FUZZ_TARGET=... -D SEEDS=... -P replay.cmake
# (libFuzzer targets take files as arguments and run each once, as the replay driver does).
file(GLOB seeds ${SEEDS}/*)
list(LENGTH seeds count)
if(count EQUAL 0)
  message(FATAL_ERROR "no seeds in ${SEEDS}")
endif()
execute_process(COMMAND ${FUZZ_TARGET} ${seeds} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZ_TARGET} failed on its seeds (${result})")
endif()
