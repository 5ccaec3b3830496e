# cmake -DIN=<UTF-8 text> -DOUT=<file> -P shift_jis_text.cmake
#
# Writes a UTF-8 text as the users' programs read it: Shift-JIS (code page 932), CR LF line
# ends, no byte-order mark. A character code page 932 cannot hold exactly (iconv would
# write 〜 as the bytes Windows reads as ～) stops the build.
if(NOT IN OR NOT OUT)
  message(FATAL_ERROR "shift_jis_text.cmake needs IN and OUT")
endif()
find_program(ICONV iconv)
if(NOT ICONV)
  message(FATAL_ERROR "iconv is missing (Debian package libc-bin)")
endif()
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}.utf8" "${text}")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932
                INPUT_FILE "${OUT}.utf8" OUTPUT_FILE "${OUT}.tmp" RESULT_VARIABLE status ERROR_VARIABLE error)
if(status EQUAL 0)
  execute_process(COMMAND "${ICONV}" -f CP932 -t UTF-8
                  INPUT_FILE "${OUT}.tmp" OUTPUT_FILE "${OUT}.back" RESULT_VARIABLE status ERROR_VARIABLE error)
endif()
if(status EQUAL 0)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}.utf8" "${OUT}.back" RESULT_VARIABLE status)
  set(error "a character does not come back the same")
endif()
file(REMOVE "${OUT}.utf8" "${OUT}.back")
if(NOT status EQUAL 0)
  file(REMOVE "${OUT}.tmp")
  message(FATAL_ERROR "${IN} cannot be written in code page 932: ${error}")
endif()
file(RENAME "${OUT}.tmp" "${OUT}")
