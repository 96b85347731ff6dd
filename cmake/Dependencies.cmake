# Finds the libraries of both builds the same way: Debian's packages natively, the
# bootstrapped static prefix (TAV_DEPS_PREFIX) for Windows. Everything ends up in tav::deps.
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

if(TAV_WINDOWS)
  if(NOT TAV_DEPS_PREFIX)
    message(FATAL_ERROR "TAV_DEPS_PREFIX is not set: run scripts/bootstrap-deps.sh")
  endif()
  list(APPEND CMAKE_PREFIX_PATH ${TAV_DEPS_PREFIX})
  set(ZLIB_USE_STATIC_LIBS ON)
endif()

find_package(ZLIB REQUIRED)

function(tav_find_lib var header lib)
  find_path(${var}_INCLUDE_DIR ${header} REQUIRED)
  find_library(${var}_LIBRARY NAMES ${lib} REQUIRED)
endfunction()

tav_find_lib(PUGIXML pugixml.hpp pugixml)
tav_find_lib(SODIUM sodium.h sodium)
tav_find_lib(LIBZIP zip.h zip)
tav_find_lib(CURL curl/curl.h curl)
find_path(NLOHMANN_INCLUDE_DIR nlohmann/json.hpp REQUIRED)
find_path(GSL_INCLUDE_DIR gsl/gsl REQUIRED)
find_path(FMT_INCLUDE_DIR fmt/format.h REQUIRED)

add_library(tav_deps INTERFACE)
add_library(tav::deps ALIAS tav_deps)
target_include_directories(tav_deps SYSTEM INTERFACE
  ${PUGIXML_INCLUDE_DIR} ${SODIUM_INCLUDE_DIR} ${LIBZIP_INCLUDE_DIR} ${CURL_INCLUDE_DIR}
  ${NLOHMANN_INCLUDE_DIR} ${GSL_INCLUDE_DIR} ${FMT_INCLUDE_DIR})
target_link_libraries(tav_deps INTERFACE
  ${PUGIXML_LIBRARY} ${LIBZIP_LIBRARY} ZLIB::ZLIB ${CURL_LIBRARY} ${SODIUM_LIBRARY})
if(TAV_WINDOWS)
  target_compile_definitions(tav_deps INTERFACE SODIUM_STATIC CURL_STATICLIB ZIP_STATIC)
  target_link_libraries(tav_deps INTERFACE ws2_32 crypt32 bcrypt advapi32 secur32 normaliz)
endif()

if(TAV_TESTS)
  find_package(GTest REQUIRED)
endif()
