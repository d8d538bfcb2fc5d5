# zsp_embed_public_keys(OUTPUT PEM...)
# Writes OUTPUT, a C++ source defining g_rgpszUpdatePublicKeys with the text
# of each PEM file (a public key as "openssl pkey -pubout" writes it). The
# file is rewritten only when its text changes, and a changed key file
# configures the build again. Relative paths are taken from the source tree.
function(zsp_embed_public_keys output)
    set(_entries "")
    foreach(_pem IN LISTS ARGN)
        get_filename_component(_pem "${_pem}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
        if(NOT EXISTS "${_pem}")
            message(FATAL_ERROR "Public key \"${_pem}\" does not exist")
        endif()
        file(READ "${_pem}" _text)
        if(NOT _text MATCHES "-----BEGIN PUBLIC KEY-----")
            message(FATAL_ERROR "\"${_pem}\" is not a public key as \"openssl pkey -pubout\" "
                                "writes it (a private key must never be built in)")
        endif()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pem}")
        string(REPLACE "\r" "" _text "${_text}")
        string(REPLACE "\n" "\\n\"\n    \"" _text "${_text}")
        string(APPEND _entries "    \"${_text}\",\n")
    endforeach()
    string(CONCAT _source "// Generated at configure time from the publisher's public keys.\n"
                          "#include \"update/download/update_trust.h\"\n\n"
                          "const char* const g_rgpszUpdatePublicKeys[] = {\n${_entries}    nullptr,\n};\n")
    set(_old "")
    if(EXISTS "${output}")
        file(READ "${output}" _old)
    endif()
    if(NOT _old STREQUAL _source)
        file(WRITE "${output}" "${_source}")
    endif()
endfunction()
