# Renders the manual page PAGE with groff and fails on any warning or error.
# Prints "ManualPage skipped" (which the test reports as skipped) where groff
# is not installed.
#   cmake -DPAGE=man/ovrik.1 -P check_manual.cmake
find_program(GROFF groff)
if(NOT GROFF)
  message("ManualPage skipped: groff is not installed")
  return()
endif()

file(READ "${PAGE}" text)
if(text MATCHES "[^\t\n -~]")
  message(FATAL_ERROR "${PAGE}: only ASCII is allowed; write special characters as roff escapes")
endif()

execute_process(
  COMMAND "${GROFF}" -man -Tutf8 -ww -z "${PAGE}"
  RESULT_VARIABLE status
  ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE} does not render cleanly (status ${status}):\n${warnings}")
endif()
