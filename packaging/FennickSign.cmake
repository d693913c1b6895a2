# Signs the staged programs of the vendor's zip with osslsigncode when a certificate is given:
#   FENNICK_SIGN_PKCS12=<file.pfx>                        or
#   FENNICK_SIGN_CERT=<cert.pem|spc> FENNICK_SIGN_KEY=<key.pem|der>
#   FENNICK_SIGN_PASSWORD_FILE=<file> (or FENNICK_SIGN_PASSWORD) for a protected key
#   FENNICK_SIGN_TIMESTAMP_URL=<url>  optional time-stamping server
# Called by install(CODE) with FENNICK_SIGN_DIR and FENNICK_SIGN_FILES set. No certificate: nothing happens.
set(_credentials)
if(NOT "$ENV{FENNICK_SIGN_PKCS12}" STREQUAL "")
  set(_credentials -pkcs12 "$ENV{FENNICK_SIGN_PKCS12}")
elseif(NOT "$ENV{FENNICK_SIGN_CERT}" STREQUAL "" AND NOT "$ENV{FENNICK_SIGN_KEY}" STREQUAL "")
  set(_credentials -certs "$ENV{FENNICK_SIGN_CERT}" -key "$ENV{FENNICK_SIGN_KEY}")
elseif(NOT "$ENV{FENNICK_SIGN_CERT}$ENV{FENNICK_SIGN_KEY}" STREQUAL "")
  message(FATAL_ERROR "signing: FENNICK_SIGN_CERT and FENNICK_SIGN_KEY must be given together")
else()
  return()
endif()
find_program(_osslsigncode osslsigncode)
if(NOT _osslsigncode)
  message(FATAL_ERROR "signing: osslsigncode is not installed (scripts/setup installs it)")
endif()
if(NOT "$ENV{FENNICK_SIGN_PASSWORD_FILE}" STREQUAL "")
  list(APPEND _credentials -readpass "$ENV{FENNICK_SIGN_PASSWORD_FILE}")
elseif(NOT "$ENV{FENNICK_SIGN_PASSWORD}" STREQUAL "")
  list(APPEND _credentials -pass "$ENV{FENNICK_SIGN_PASSWORD}")
endif()
if(NOT "$ENV{FENNICK_SIGN_TIMESTAMP_URL}" STREQUAL "")
  list(APPEND _credentials -t "$ENV{FENNICK_SIGN_TIMESTAMP_URL}")
endif()
foreach(_file IN LISTS FENNICK_SIGN_FILES)
  set(_path "${FENNICK_SIGN_DIR}/${_file}")
  file(REMOVE "${_path}.signed")
  execute_process(
    COMMAND ${_osslsigncode} sign ${_credentials} -h sha256 -n "Fennick" -in "${_path}" -out "${_path}.signed"
    RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
  if(NOT _result EQUAL 0)
    file(REMOVE "${_path}.signed")
    message(FATAL_ERROR "signing ${_file} failed: ${_output}")
  endif()
  file(RENAME "${_path}.signed" "${_path}")
  message(STATUS "signed: ${_file}")
endforeach()
