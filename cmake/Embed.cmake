# embed_files(<out.S> <prefix> <name> <file> [<name> <file> ...])
# Writes an assembly file that places each file's bytes, followed by one NUL, in read-only data as
# `<prefix>_<name>` with its length (without the NUL) in `<prefix>_<name>_size`.
function(embed_files out prefix)
  # i686 C symbols carry a leading underscore, x86_64 ones do not.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(underscore "_")
  else()
    set(underscore "")
  endif()
  set(body "")
  set(args ${ARGN})
  list(LENGTH args count)
  math(EXPR last "${count} - 1")
  set(deps "")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} name)
    list(GET args ${j} file)
    list(APPEND deps ${file})
    set(sym "${underscore}${prefix}_${name}")
    string(APPEND body
      "    .section .rdata,\"dr\"\n"
      "    .balign 16\n"
      "    .globl ${sym}\n"
      "${sym}:\n"
      "    .incbin \"${file}\"\n"
      "${sym}_end:\n"
      "    .byte 0\n"
      "    .balign 4\n"
      "    .globl ${sym}_size\n"
      "${sym}_size:\n"
      "    .long ${sym}_end - ${sym}\n\n")
  endforeach()
  file(GENERATE OUTPUT ${out} CONTENT "${body}")
  set_source_files_properties(${out} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${deps}")
endfunction()
