# Runs quill-patch-fill with malformed or out-of-range arguments and checks that every
# run fails with a message naming the fault and writes no output. A run with valid
# arguments must succeed, so the failures are known to come from the faults.
#
# cmake -DDRIVER=... -DIMAGE=... -DWORK_DIR=... -P CheckPatchFillBadInput.cmake

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(output "${WORK_DIR}/out.png")

# Runs the driver with the ARGN arguments after INPUT and OUTPUT and checks that it
# fails with a message matching EXPECTED.
function(expect_failure expected)
  file(REMOVE "${output}")
  execute_process(COMMAND "${DRIVER}" "${IMAGE}" "${output}" ${ARGN}
                  RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
  if(result EQUAL 0)
    message(SEND_ERROR "accepted ${ARGN}")
  elseif(NOT message MATCHES "${expected}")
    message(SEND_ERROR "${ARGN}: message '${message}' does not match '${expected}'")
  endif()
  if(EXISTS "${output}")
    message(SEND_ERROR "${ARGN}: wrote an output")
  endif()
endfunction()

execute_process(COMMAND "${DRIVER}" "${IMAGE}" "${output}" --area 40,30,10 --source 80,30
                        --mode 1 --no-blend --no-long-defect --orientation 3
                RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_VARIABLE report)
if(NOT result EQUAL 0 OR NOT EXISTS "${output}")
  message(FATAL_ERROR "valid arguments were rejected: ${message}")
endif()
if(NOT report MATCHES "orientation 3 \\(given\\)")
  message(SEND_ERROR "the report does not name the given orientation: ${report}")
endif()

set(source --source 80,30)
foreach(area "1,2" "1,2,25,4" "x,2,25" "1.5,2,25" "1, 2,25" ",2,25" "1,,25" "99999999999,2,25"
             "1000000001,2,25")
  expect_failure("--area takes X,Y,SIZE" --area ${area} ${source})
endforeach()
foreach(size "9" "101" "-25" "25.0" "0x10")
  expect_failure("--area SIZE must be an integer from 10 to 100" --area 40,30,${size} ${source})
endforeach()
foreach(point "1" "1,2,3" "a,b" "1e3,2")
  expect_failure("--source takes X,Y" --area 40,30,25 --source ${point})
endforeach()
expect_failure("the area square \\(-113, -113\\)-\\(-88, -88\\) lies outside the image"
               --area -100,-100,25 ${source})
expect_failure("the area square .* lies outside the image" --area 525,20,25 ${source})
expect_failure("the source square .* lies outside the image" --area 40,30,25 --source 20,600)
foreach(mode "3" "-1" "two")
  expect_failure("--mode takes 0" --area 40,30,25 ${source} --mode ${mode})
endforeach()
foreach(k "8" "-1" "Auto" "1.0")
  expect_failure("--orientation takes an integer from 0 to 7, or auto"
                 --area 40,30,25 ${source} --orientation ${k})
endforeach()
expect_failure("--orientation needs a value" --area 40,30,25 ${source} --orientation)
expect_failure("--mode needs a value" --area 40,30,25 ${source} --mode)
expect_failure("unknown option --blend" --area 40,30,25 ${source} --blend)
expect_failure("both --area and --source are required" --area 40,30,25)
expect_failure("expected INPUT.png and OUTPUT.png" --area 40,30,25 ${source} extra.png)

# A missing or damaged input image.
execute_process(COMMAND "${DRIVER}" "${WORK_DIR}/missing.png" "${output}" --area 40,30,25 ${source}
                RESULT_VARIABLE result ERROR_VARIABLE message OUTPUT_QUIET)
if(result EQUAL 0 OR NOT message MATCHES "cannot open .*missing\\.png" OR EXISTS "${output}")
  message(SEND_ERROR "a missing input gave ${result}: ${message}")
endif()
