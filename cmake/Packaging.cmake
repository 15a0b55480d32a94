# What a packager sets (see README, "Packaging"): the product folder the payload is built from, the
# code-signing certificate, and whether missed size goals stop the build.
set(FEIJING_PRODUCT_DIR "" CACHE PATH "A packager's product folder to build the installer around")
set(FEIJING_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM or DER), with FEIJING_SIGN_KEY")
set(FEIJING_SIGN_KEY "" CACHE FILEPATH "The code-signing certificate's private key")
set(FEIJING_SIGN_PASS_FILE "" CACHE FILEPATH "A file holding the private key's password, if it has one")
set(FEIJING_SIGN_TIMESTAMP "" CACHE STRING "An RFC 3161 time-stamp server's URL; no time stamp when empty")
option(FEIJING_SIZE_GOALS "Stop the i686 build when the size report finds a goal missed" ON)

# Every payload entry is dated from the commit being built (SOURCE_DATE_EPOCH overrides it), never from
# the build machine's clock or the files' times. Taken when configuring.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(FEIJING_SOURCE_DATE "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE FEIJING_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT FEIJING_SOURCE_DATE MATCHES "^[0-9]+$")
  message(WARNING "No commit time (not a git checkout, SOURCE_DATE_EPOCH unset): payload entries get a fixed date.")
  set(FEIJING_SOURCE_DATE "")
endif()

# The payload's source, for tools/make_payload.py. A product folder is checked now, so a folder without
# fj.exe or with names Windows cannot take stops here with the reason; its files are globbed so that a file
# added or removed there makes the next build configure and pack again.
set(FEIJING_PRODUCT_FILES "")
if(FEIJING_PRODUCT_DIR)
  get_filename_component(FEIJING_PRODUCT_DIR_ABSOLUTE "${FEIJING_PRODUCT_DIR}" ABSOLUTE BASE_DIR ${CMAKE_BINARY_DIR})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_payload.py
                          --product-dir ${FEIJING_PRODUCT_DIR_ABSOLUTE} --check
                  RESULT_VARIABLE product_ok ERROR_VARIABLE product_error)
  if(NOT product_ok EQUAL 0)
    string(STRIP "${product_error}" product_error)
    message(FATAL_ERROR "${product_error}")
  endif()
  file(GLOB_RECURSE product_entries LIST_DIRECTORIES true CONFIGURE_DEPENDS "${FEIJING_PRODUCT_DIR_ABSOLUTE}/*")
  foreach(entry ${product_entries})
    if(NOT IS_DIRECTORY ${entry})
      list(APPEND FEIJING_PRODUCT_FILES ${entry})
    endif()
  endforeach()
  set(FEIJING_PAYLOAD_SOURCE --product-dir ${FEIJING_PRODUCT_DIR_ABSOLUTE})
  message(STATUS "Payload: the product folder ${FEIJING_PRODUCT_DIR_ABSOLUTE}")
else()
  set(FEIJING_PAYLOAD_SOURCE "")
endif()
if(FEIJING_SOURCE_DATE)
  list(APPEND FEIJING_PAYLOAD_SOURCE --date-epoch ${FEIJING_SOURCE_DATE})
endif()

# Authenticode signing with Debian's osslsigncode: SHA-256, and a time stamp only when a server is given.
set(FEIJING_SIGN_OPTIONS "")
if(FEIJING_SIGN_CERT OR FEIJING_SIGN_KEY)
  if(NOT FEIJING_SIGN_CERT OR NOT FEIJING_SIGN_KEY)
    message(FATAL_ERROR "Signing needs both FEIJING_SIGN_CERT and FEIJING_SIGN_KEY.")
  endif()
  foreach(file FEIJING_SIGN_CERT FEIJING_SIGN_KEY FEIJING_SIGN_PASS_FILE)
    if(${file} AND NOT EXISTS ${${file}})
      message(FATAL_ERROR "${file}: ${${file}} does not exist.")
    endif()
  endforeach()
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (run tools/setup.sh).")
  endif()
  set(FEIJING_SIGN_OPTIONS -h sha256 -certs ${FEIJING_SIGN_CERT} -key ${FEIJING_SIGN_KEY})
  if(FEIJING_SIGN_PASS_FILE)
    list(APPEND FEIJING_SIGN_OPTIONS -readpass ${FEIJING_SIGN_PASS_FILE})
  endif()
  if(FEIJING_SIGN_TIMESTAMP)
    list(APPEND FEIJING_SIGN_OPTIONS -ts ${FEIJING_SIGN_TIMESTAMP})
  endif()
endif()

# Signs `target`'s program right after it is linked, when signing is configured.
function(feijing_sign target)
  if(FEIJING_SIGN_OPTIONS)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND bash ${CMAKE_SOURCE_DIR}/tools/sign.sh $<TARGET_FILE:${target}> ${FEIJING_SIGN_OPTIONS}
      COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
      VERBATIM)
  endif()
endfunction()
