# Runs quill-wire-repair on dab lists that each end in one malformed line, with bad
# --noise values and on pictures that do not load, and checks that every run fails with
# a message pointing at the fault and writes no output; and onto a read-only output,
# which must be refused and left as it was. A run on the valid lines alone must
# succeed, so the failures are known to come from the faults.
#
# cmake -DDRIVER=... -DIMAGE=... -DWORK_DIR=... -P CheckBadInput.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(dabs "${WORK_DIR}/test.dabs")
set(output "${WORK_DIR}/out.png")

# Comments and blank lines, indented or not, are skipped; the faulty line is line 6.
set(valid_lines "# stroke x y diameter\n\n   # an indented comment\n1 40.5 30 9\n2 41 33.25 10\n")

# Runs the driver on DABS_TEXT with the extra ARGN arguments and checks that it fails
# with a message matching EXPECTED.
function(expect_failure dabs_text expected)
  file(WRITE "${dabs}" "${dabs_text}")
  file(REMOVE "${output}")
  execute_process(COMMAND "${DRIVER}" "${IMAGE}" "${dabs}" "${output}" ${ARGN}
                  RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
  if(result EQUAL 0)
    message(SEND_ERROR "accepted [${dabs_text}] ${ARGN}")
  elseif(NOT message MATCHES "${expected}")
    message(SEND_ERROR "[${dabs_text}] ${ARGN}: message '${message}' does not match '${expected}'")
  endif()
  if(EXISTS "${output}")
    message(SEND_ERROR "[${dabs_text}] ${ARGN}: wrote an output")
  endif()
endfunction()

file(WRITE "${dabs}" "${valid_lines}")
execute_process(COMMAND "${DRIVER}" "${IMAGE}" "${dabs}" "${output}" --noise 0
                RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
if(NOT result EQUAL 0 OR NOT EXISTS "${output}")
  message(FATAL_ERROR "the valid dab lines were rejected: ${message}")
endif()

foreach(bad_line
    "1 40 30"
    "1 40 30 9 7"
    "one 40 30 9"
    "1.5 40 30 9"
    "1 40x 30 9"
    "1 nan 30 9"
    "1 40 inf 9"
    "1 40 -2e9 9"
    "1 40 30 1e10"
    "1 40,5 30 9")
  expect_failure("${valid_lines}${bad_line}\n" "test\\.dabs:6:")
endforeach()

string(REPEAT "1" 2000 long_line)
expect_failure("${valid_lines}${long_line}\n" "test\\.dabs:6:")

foreach(noise "101" "-1" "6.5" "x")
  expect_failure("${valid_lines}" "--noise" --noise ${noise})
endforeach()
expect_failure("${valid_lines}" "--noise" --noise)

# Pictures that do not load, read through the program's own image codecs. (Too large
# and damaged files are the codecs' own tests.)
function(expect_input_failure input expected)
  file(WRITE "${dabs}" "${valid_lines}")
  file(REMOVE "${output}")
  execute_process(COMMAND "${DRIVER}" "${input}" "${dabs}" "${output}"
                  RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
  if(result EQUAL 0 OR NOT message MATCHES "${expected}" OR EXISTS "${output}")
    message(SEND_ERROR "the input ${input} gave ${result}: ${message}")
  endif()
endfunction()

expect_input_failure("${WORK_DIR}/missing.png" "cannot open .*missing\\.png: No such file or directory")
expect_input_failure("${WORK_DIR}" "cannot open .*: not a regular file")
file(WRITE "${WORK_DIR}/text.png" "just some text, not an image")
expect_input_failure("${WORK_DIR}/text.png" "text\\.png is not an image")

# An output that cannot be replaced (read-only) is refused and left as it was.
file(WRITE "${output}" "the old output")
file(CHMOD "${output}" PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
execute_process(COMMAND "${DRIVER}" "${IMAGE}" "${dabs}" "${output}"
                RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
file(READ "${output}" kept)
if(result EQUAL 0 OR NOT message MATCHES "cannot write .*out\\.png" OR NOT kept STREQUAL "the old output")
  message(SEND_ERROR "a read-only output gave ${result}: ${message}; it now holds '${kept}'")
endif()
file(CHMOD "${output}" PERMISSIONS OWNER_READ OWNER_WRITE)
