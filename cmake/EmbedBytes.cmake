# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedBytes.cmake
# Writes a C++ source defining `extern const unsigned char SYMBOL[]` with the bytes of INPUT.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}\nextern const unsigned char ${SYMBOL}[];\nconst unsigned char ${SYMBOL}[] = {${bytes}};\n")
