# Runs one bench program as a user asking for help would, and with an option
# it does not know:
#   cmake -DPROGRAM=path/to/bench_x -P check_usage.cmake
# --help and -h print the usage and end at once with 0, running nothing; an
# unknown option prints the usage to standard error and ends with 2.
foreach(ask --help -h)
  execute_process(COMMAND ${PROGRAM} ${ask} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${ask} ended with ${rc}:\n${out}${err}")
  endif()
  if(NOT out MATCHES "^Usage: bench_")
    message(FATAL_ERROR "${PROGRAM} ${ask} printed no usage:\n${out}${err}")
  endif()
  if(out MATCHES "(^|\n)(Corpus:|Large mbox:|Generating|bench/storage:)")
    message(FATAL_ERROR "${PROGRAM} ${ask} started its run:\n${out}")
  endif()
endforeach()
execute_process(COMMAND ${PROGRAM} --no-such-option RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 20)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "${PROGRAM} --no-such-option ended with ${rc}:\n${out}${err}")
endif()
if(NOT err MATCHES "unknown option \"--no-such-option\".*Usage: bench_")
  message(FATAL_ERROR "${PROGRAM} --no-such-option did not name the option and print the usage:\n${err}")
endif()
