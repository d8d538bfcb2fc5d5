# One configuration's check of the update-information address:
#   cmake -DURL=<address> -DKEYS=<key files or empty> -P update_info_url_test.cmake
# Ends with an error where the configuration would stop.
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/UpdateInfoAddress.cmake")
zsp_check_update_info_url("${URL}" "${KEYS}")
