# Instrumented builds, each configured in a build directory of its own:
#
#   -DORVELL_SANITIZE="address;undefined"  AddressSanitizer (with
#       LeakSanitizer) and UndefinedBehaviorSanitizer on every target;
#       any report ends the process with a failure, nothing is recovered.
#   -DORVELL_SANITIZE=thread               ThreadSanitizer.
#   -DORVELL_FUZZ=ON                       the libFuzzer targets of fuzz/;
#       needs clang, and is normally combined with "address;undefined".
#
# TagLib, libstdc++ and GoogleTest stay as installed (uninstrumented).
set(ORVELL_SANITIZE "" CACHE STRING
    "Sanitizers to build every target with, e.g. \"address;undefined\" or \"thread\"")
option(ORVELL_FUZZ "Build the libFuzzer targets under fuzz/ (clang only)" OFF)

if(ORVELL_SANITIZE)
  list(JOIN ORVELL_SANITIZE "," orvell_sanitizers)
  add_compile_options(-fsanitize=${orvell_sanitizers} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${orvell_sanitizers})
  message(STATUS "Orvell: sanitizers ${orvell_sanitizers}")
endif()

if(ORVELL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVELL_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage feedback for the library; the fuzz targets add the driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
