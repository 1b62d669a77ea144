# Files built into the program as byte arrays: each input becomes a generated C++ source that
# defines `extern const unsigned char SYMBOL[]` and `extern const std::size_t SYMBOL_size`, in the
# global namespace. The source is written again whenever the file (or this script) changes.
#
#   orvex_embed_files(OUT_SOURCES_VAR PREFIX file...)
#
# SYMBOL is PREFIX followed by the file name with every character that cannot be in an identifier
# turned into '_' (prefix "orvex_web_", "remote.js" -> orvex_web_remote_js).

set(ORVEX_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(orvex_embed_files out_var prefix)
    set(generated)
    foreach(input IN LISTS ARGN)
        get_filename_component(input ${input} ABSOLUTE)
        get_filename_component(name ${input} NAME)
        string(MAKE_C_IDENTIFIER "${prefix}${name}" symbol)
        set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
        add_custom_command(
            OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -DORVEX_EMBED_INPUT=${input} -DORVEX_EMBED_OUTPUT=${output}
                    -DORVEX_EMBED_SYMBOL=${symbol} -P ${ORVEX_EMBED_SCRIPT}
            DEPENDS ${input} ${ORVEX_EMBED_SCRIPT}
            COMMENT "Embedding ${name}"
            VERBATIM)
        list(APPEND generated ${output})
    endforeach()
    set(${out_var} ${generated} PARENT_SCOPE)
endfunction()

# Script mode: one file to one source.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED ORVEX_EMBED_INPUT)
    file(READ ${ORVEX_EMBED_INPUT} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    # Sixteen bytes a line keeps the generated file readable and the compiler's lines short.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
    if(size EQUAL 0)
        set(bytes "0x00,") # an array cannot be empty; the size still says 0
    endif()
    file(WRITE ${ORVEX_EMBED_OUTPUT}.tmp
         "// Generated from ${ORVEX_EMBED_INPUT}; edit that file instead.\n"
         "#include <cstddef>\n\n"
         "extern const unsigned char ${ORVEX_EMBED_SYMBOL}[];\n"
         "extern const std::size_t ${ORVEX_EMBED_SYMBOL}_size;\n"
         "const unsigned char ${ORVEX_EMBED_SYMBOL}[] = {\n    ${bytes}\n};\n"
         "const std::size_t ${ORVEX_EMBED_SYMBOL}_size = ${size};\n")
    file(RENAME ${ORVEX_EMBED_OUTPUT}.tmp ${ORVEX_EMBED_OUTPUT})
endif()
