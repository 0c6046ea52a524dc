# Signs a copy of a small program with a certificate of its own, for the
# signature tests, and makes a second copy changed after signing; and a
# third, 20 MB large (the program with data after it), for the benchmarks.
#   cmake -DIN=<exe> -DDIR=<out folder> -DOPENSSL=<path> -DOSSLSIGNCODE=<path> -DOBJDUMP=<path> -P sign_probe.cmake
set(work ${DIR}/signing)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(REMOVE ${DIR}/signed_probe.exe ${DIR}/tampered_probe.exe ${DIR}/big_signed_probe.exe)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${out}")
  endif()
endfunction()

run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -subj "/CN=Veltrane Test Signer"
    -keyout ${work}/key.pem -out ${work}/cert.pem -days 3650)
run(${OSSLSIGNCODE} sign -certs ${work}/cert.pem -key ${work}/key.pem -h sha256
    -in ${IN} -out ${work}/signed.exe)

# One byte of the code changed: the signature no longer matches the image.
execute_process(COMMAND ${OBJDUMP} -h ${work}/signed.exe OUTPUT_VARIABLE sections RESULT_VARIABLE status)
string(REGEX MATCH "\\.text[ ]+[0-9a-f]+[ ]+[0-9a-f]+[ ]+[0-9a-f]+[ ]+([0-9a-f]+)" found "${sections}")
if(NOT status EQUAL 0 OR NOT found)
  message(FATAL_ERROR "no code section in ${work}/signed.exe")
endif()
math(EXPR at "0x${CMAKE_MATCH_1} + 64")
file(READ ${work}/signed.exe byte OFFSET ${at} LIMIT 1 HEX)
if(byte STREQUAL "01")
  string(ASCII 2 other)
else()
  string(ASCII 1 other)
endif()
file(WRITE ${work}/byte.bin "${other}")
run(${CMAKE_COMMAND} -E copy ${work}/signed.exe ${work}/tampered.exe)
run(dd if=${work}/byte.bin of=${work}/tampered.exe bs=1 seek=${at} conv=notrunc status=none)

run(sh -c "cat '${IN}' > '${work}/big.exe' && head -c 20971520 /dev/urandom >> '${work}/big.exe'")
run(${OSSLSIGNCODE} sign -certs ${work}/cert.pem -key ${work}/key.pem -h sha256
    -in ${work}/big.exe -out ${work}/big_signed.exe)

file(RENAME ${work}/big_signed.exe ${DIR}/big_signed_probe.exe)
file(RENAME ${work}/tampered.exe ${DIR}/tampered_probe.exe)
file(RENAME ${work}/signed.exe ${DIR}/signed_probe.exe)
file(REMOVE_RECURSE ${work})
