# zsp_embed_public_keys(OUTPUT PEM...)
# Writes OUTPUT, a C++ source defining g_rgUpdatePublicKeys with the DER
# bytes of each key file's public key, read by openssl. A key file holds
# exactly one EC P-256 public key as "openssl pkey -pubout" writes it, with
# nothing around its block but white space; several keys are several files.
# Any other file stops the configuration with the reason, above all one that
# holds a private key: what is built in ships to every user. The source is
# rewritten only when it changes, and a changed key file configures the
# build again. Relative paths are taken from the source tree.

# Why the text of a key file is not one public key and nothing else; empty
# when it is.
function(_zsp_public_key_text_problem text out_problem)
    set(_problem "")
    string(REPLACE "\r" "" _text "${text}")
    string(STRIP "${_text}" _stripped)
    string(REGEX MATCHALL "-----BEGIN [^-\n]*-----" _begins "${_text}")
    list(LENGTH _begins _count)
    if(_stripped STREQUAL "")
        set(_problem "is empty")
    elseif(_text MATCHES "-----BEGIN [^-\n]*PRIVATE KEY-----")
        string(CONCAT _problem "holds a private key (${CMAKE_MATCH_0}): only the public half "
                               "may be built in, as \"openssl pkey -in KEY -pubout\" writes it; "
                               "keep the private key away from the build")
    elseif(_count EQUAL 0)
        set(_problem "holds no public key (no -----BEGIN PUBLIC KEY----- block)")
    elseif(NOT _begins STREQUAL "-----BEGIN PUBLIC KEY-----")
        if(_count GREATER 1)
            set(_problem "holds ${_count} PEM blocks: give each public key a file of its own")
        else()
            set(_problem "holds a block other than a public key (${_begins})")
        endif()
    elseif(NOT _stripped MATCHES "^-----BEGIN PUBLIC KEY-----\n[A-Za-z0-9+/=\n]+-----END PUBLIC KEY-----$")
        string(CONCAT _problem "holds text other than its public key block (only white space "
                               "may surround it, and only base64 may be inside it)")
    endif()
    set(${out_problem} "${_problem}" PARENT_SCOPE)
endfunction()

# Reads the public key of a file that passed the text check into
# out_bytes, C++ initialisers of its DER bytes.
function(_zsp_public_key_der pem der_file out_bytes)
    execute_process(COMMAND "${ZSP_OPENSSL}" pkey -pubin -in "${pem}" -text -noout
                    RESULT_VARIABLE _result OUTPUT_VARIABLE _text ERROR_VARIABLE _error)
    if(NOT _result EQUAL 0)
        string(STRIP "${_error}" _error)
        message(FATAL_ERROR "Public key file \"${pem}\" is not a public key openssl can read: "
                            "${_error}")
    endif()
    if(NOT _text MATCHES "\nASN1 OID: prime256v1\n")
        string(REGEX MATCH "^[^\n]*" _kind "${_text}")
        message(FATAL_ERROR "Public key file \"${pem}\" is not an EC key on curve P-256 "
                            "(openssl reads \"${_kind}\"): the updater verifies ECDSA P-256 only")
    endif()
    # The uncompressed point, which every Windows imports.
    execute_process(COMMAND "${ZSP_OPENSSL}" pkey -pubin -in "${pem}" -outform DER
                            -ec_conv_form uncompressed -out "${der_file}"
                    RESULT_VARIABLE _result ERROR_VARIABLE _error)
    if(NOT _result EQUAL 0)
        string(STRIP "${_error}" _error)
        message(FATAL_ERROR "Public key file \"${pem}\": openssl could not write its DER form: "
                            "${_error}")
    endif()
    file(READ "${der_file}" _hex HEX)
    file(REMOVE "${der_file}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " _bytes "${_hex}")
    # Twelve to a line (the regular expressions have no counted repeat).
    string(REPEAT "0x[0-9a-f][0-9a-f], " 12 _line)
    string(REGEX REPLACE "(${_line})" "\\1\n    " _bytes "${_bytes}")
    string(REPLACE " \n" "\n" _bytes "${_bytes}")
    string(STRIP "${_bytes}" _bytes)
    set(${out_bytes} "${_bytes}" PARENT_SCOPE)
endfunction()

function(zsp_embed_public_keys output)
    if(ARGN)
        find_program(ZSP_OPENSSL openssl)
        if(NOT ZSP_OPENSSL)
            message(FATAL_ERROR "openssl is needed to read the public keys to build in")
        endif()
    endif()
    set(_arrays "")
    set(_entries "")
    set(_index 0)
    foreach(_pem IN LISTS ARGN)
        math(EXPR _index "${_index} + 1")
        get_filename_component(_pem "${_pem}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
        if(NOT EXISTS "${_pem}" OR IS_DIRECTORY "${_pem}")
            message(FATAL_ERROR "Public key file \"${_pem}\" does not exist")
        endif()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pem}")
        file(READ "${_pem}" _text)
        _zsp_public_key_text_problem("${_text}" _problem)
        if(_problem)
            message(FATAL_ERROR "Public key file \"${_pem}\" ${_problem}")
        endif()
        _zsp_public_key_der("${_pem}" "${output}.key${_index}.der" _bytes)
        string(APPEND _arrays "const unsigned char kKey${_index}[] = {\n    ${_bytes}\n};\n")
        string(APPEND _entries "    {kKey${_index}, sizeof(kKey${_index})},\n")
    endforeach()
    if(_arrays)
        set(_arrays "\nnamespace {\n${_arrays}} // namespace\n")
    endif()
    string(CONCAT _source "// Generated at configure time from the publisher's public keys.\n"
                          "#include \"update/trust/built_in_keys.h\"\n${_arrays}\n"
                          "const UpdatePublicKey g_rgUpdatePublicKeys[] = {\n${_entries}"
                          "    {nullptr, 0},\n};\n")
    set(_old "")
    if(EXISTS "${output}")
        file(READ "${output}" _old)
    endif()
    if(NOT _old STREQUAL _source)
        file(WRITE "${output}" "${_source}")
    endif()
endfunction()
