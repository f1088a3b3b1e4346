# A station's flash with a serial number from a PostgreSQL server reached over TCP with a
# password (PGPASSWORD), as a Windows PC reaches its line's server: the board passes, and a
# second qvusb reads its number back from the server as programmed by this station. The
# Windows build's libpq has no SSL: a URL that asks for it is refused as wrong, not waited for
# as a server that is away. Skipped (SKIP_REGULAR_EXPRESSION) without such a server,
# QV_TEST_POSTGRES_TCP.
#   cmake -DQVUSB=qvusb.exe -DEMULATOR=wine -DIMAGE=demo-firmware.h00 -P <this file>
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED ENV{QV_TEST_POSTGRES_TCP})
  message("Skipped: no PostgreSQL server over TCP (QV_TEST_POSTGRES_TCP)")
  return()
endif()
set(url "$ENV{QV_TEST_POSTGRES_TCP}")

# Runs qvusb with the arguments; fails the test unless it exits with 0. Its standard output
# goes to `out`.
function(qvusb out)
  execute_process(COMMAND ${EMULATOR} ${QVUSB} ${ARGN} RESULT_VARIABLE code
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "qvusb ${ARGN}: exit ${code}\n${output}${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# The JSON line of `event` in the output whose `key` is `value` (any, when value is empty).
function(json_line out output event key value)
  string(REPLACE "\n" ";" lines "${output}")
  foreach(line IN LISTS lines)
    string(JSON kind ERROR_VARIABLE bad GET "${line}" event)
    string(JSON found ERROR_VARIABLE bad GET "${line}" ${key})
    if("${kind}" STREQUAL "${event}" AND ("${value}" STREQUAL "" OR "${found}" STREQUAL "${value}"))
      set(${out} "${line}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "no ${event} line with ${key} ${value} in:\n${output}")
endfunction()

qvusb(flashed --sim --json --db "${url}" --station wine-1 flash --serial "QV{seq:04}" "${IMAGE}")
json_line(result "${flashed}" result ok "")
string(JSON ok GET "${result}" ok)
string(JSON serial GET "${result}" serial)
if(NOT ok OR NOT serial MATCHES "^QV[0-9][0-9][0-9][0-9]$")
  message(FATAL_ERROR "the board did not pass with a number: ${result}")
endif()

qvusb(listed --json --db "${url}" serials)
json_line(row "${listed}" serial serial "${serial}")
string(JSON status GET "${row}" status)
string(JSON station GET "${row}" station)
if(NOT status STREQUAL "programmed" OR NOT station STREQUAL "wine-1")
  message(FATAL_ERROR "${serial} is not recorded as programmed by wine-1: ${row}")
endif()

execute_process(COMMAND ${EMULATOR} ${QVUSB} --db "${url}&sslmode=require" serials
                RESULT_VARIABLE code OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT code EQUAL 2 OR NOT errors MATCHES "sslmode=require needs SSL")
  message(FATAL_ERROR "a URL asking for SSL: exit ${code}\n${output}${errors}")
endif()
message("${serial} programmed by wine-1, read back from the server")
