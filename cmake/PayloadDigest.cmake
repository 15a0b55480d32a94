# cmake -DPAYLOAD=<archive> -DOUT=<source.cpp> -P PayloadDigest.cmake
# Writes the archive's SHA-256 as a C++ array, so the installer can check the payload it carries.
file(SHA256 ${PAYLOAD} digest)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${digest}")
file(WRITE ${OUT}
  "// Generated from the payload archive at build time.\n"
  "#include <cstdint>\n\n"
  "extern const std::uint8_t payloadSha256[32] = {${bytes}};\n")
