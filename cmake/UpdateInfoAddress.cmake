# zsp_check_update_info_url(URL PUBLIC_KEYS)
#
# A build without the publisher's keys trusts the connection alone: it takes
# the update information only over https, or over plain http from this
# computer's own loopback host (for tests). Any other address stops the
# configuration, before an updater that anyone on the network path could
# steer is built. A build with keys checks the signature instead.

function(zsp_check_update_info_url url keys)
    if(NOT keys STREQUAL "")
        return()
    endif()
    string(TOLOWER "${url}" _url)
    set(_loopback "(localhost|127\\.[0-9]+\\.[0-9]+\\.[0-9]+|\\[::1\\])")
    if(_url MATCHES "^https://[^/?#]"
       OR _url MATCHES "^http://([^/?#@]*@)?${_loopback}(:[0-9]*)?([/?#].*)?$")
        return()
    endif()
    message(FATAL_ERROR
        "ZSP_UPDATE_INFO_URL is \"${url}\", but a build without ZSP_UPDATE_PUBLIC_KEYS "
        "takes the update information only over https (or plain http from 127.0.0.1 for "
        "tests): anyone on the way could otherwise make every client start a program of "
        "their own. Give an https:// address, or build with the publisher's keys.")
endfunction()
