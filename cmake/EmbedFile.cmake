# Writes one file's bytes as a C++ array, run at build time:
#   cmake -DINPUT=resources/123_panel.png -DOUTPUT=png_123.cpp -DNAME=png123 -P cmake/EmbedFile.cmake
# The array and its size are named NAME and NAMESize in brimtone::platform::embedded.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by cmake/EmbedFile.cmake; do not edit.\n"
  "#include <cstddef>\n#include <cstdint>\n\n"
  "namespace brimtone::platform::embedded {\n"
  "extern const std::uint8_t ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "const std::uint8_t ${NAME}[] = {\n${bytes}};\n"
  "const std::size_t ${NAME}Size = ${size};\n"
  "} // namespace brimtone::platform::embedded\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
