# SPDX-License-Identifier: Apache-2.0
# Writes OUTPUT, a C++ source that defines rdcsm::http::NAME as the text of
# INPUT, so that the program serves the page's files without reading them.
# Run at build time: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P embed.cmake
file(READ ${INPUT} text)
string(FIND "${text}" ")rdxweb\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's closing )rdxweb\"")
endif()
file(WRITE ${OUTPUT}.new "// Generated from ${INPUT}.\n#include \"http_static.h\"\n"
     "namespace rdcsm::http {\nextern const char ${NAME}[] = R\"rdxweb(${text})rdxweb\";\n}\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
