# cmake -DMODE=tree|pkg-config|find-package ... -P install_test.cmake
#
# tree:         installs the build tree into WORK_DIR/prefix, checks that
#               every installed file is in its place and runs the installed
#               tool, which must find the installed library by itself.
# pkg-config:   compiles the consumer, and the README's C example, with the
#               flags of the installed orvell.pc and runs them against the
#               installed library.
# find-package: builds the consumer as a CMake project that finds the
#               installed package, then checks that the version file
#               refuses a later major version.
cmake_minimum_required(VERSION 3.16)

set(prefix ${WORK_DIR}/prefix)
set(expected "orvell ${VERSION}: Blue in Green (1959)")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Runs the program on a copy of the sample and expects line in its output.
function(expect_output program line)
  file(COPY ${SAMPLE} DESTINATION ${work})
  get_filename_component(name ${SAMPLE} NAME)
  run(${program} ${ARGN} ${work}/${name})
  string(FIND "${out}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${program} printed\n${out}\nnot\n${line}")
  endif()
  message(STATUS "${out}")
endfunction()

if(MODE STREQUAL "tree")
  file(REMOVE_RECURSE ${WORK_DIR})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
  set(files
    ${INCLUDEDIR}/orvell.h
    ${INCLUDEDIR}/orvell_block.h
    ${LIBDIR}/liborvell.so
    ${LIBDIR}/liborvell.so.${VERSION_MAJOR}
    ${LIBDIR}/liborvell.so.${VERSION}
    ${LIBDIR}/pkgconfig/orvell.pc
    ${LIBDIR}/cmake/Orvell/OrvellConfig.cmake
    ${LIBDIR}/cmake/Orvell/OrvellConfigVersion.cmake
    ${LIBDIR}/cmake/Orvell/OrvellTargets.cmake)
  if(WITH_TOOL)
    list(APPEND files ${BINDIR}/orvell ${MANDIR}/man1/orvell.1)
  endif()
  foreach(file IN LISTS files)
    if(NOT EXISTS ${prefix}/${file})
      message(FATAL_ERROR "not installed: ${file}")
    endif()
  endforeach()
  if(WITH_TOOL)
    set(work ${WORK_DIR}/tool)
    expect_output(${prefix}/${BINDIR}/orvell "  title         Blue in Green" read)
  endif()

elseif(MODE STREQUAL "pkg-config")
  set(work ${WORK_DIR}/pkg-config)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  run(${PKG_CONFIG} --modversion orvell)
  if(NOT out STREQUAL "${VERSION}\n")
    message(FATAL_ERROR "orvell.pc has version ${out}")
  endif()
  run(${PKG_CONFIG} --cflags orvell)
  separate_arguments(cflags UNIX_COMMAND "${out}")
  run(${PKG_CONFIG} --libs orvell)
  separate_arguments(libs UNIX_COMMAND "${out}")
  # As strict C99 as a host may compile the installed headers.
  run(${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror ${cflags}
    ${CONSUMER_DIR}/consumer.c -o ${work}/consumer ${libs})
  # Outside the system directories the loader must be told where to look,
  # as the README says.
  expect_output(${CMAKE_COMMAND} "${expected}"
    -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR} ${work}/consumer)

  # The first C block of the README's "Calling it from C", as a reader
  # copies it.
  file(READ ${README} readme)
  string(FIND "${readme}" "\n## Calling it from C\n" at)
  string(SUBSTRING "${readme}" ${at} -1 readme)
  string(FIND "${readme}" "\n```c\n" start)
  math(EXPR start "${start} + 6")
  string(SUBSTRING "${readme}" ${start} -1 readme)
  string(FIND "${readme}" "\n```\n" end)
  if(at EQUAL -1 OR start LESS 6 OR end EQUAL -1)
    message(FATAL_ERROR "no C example under \"Calling it from C\" in ${README}")
  endif()
  string(SUBSTRING "${readme}" 0 ${end} example)
  file(WRITE ${work}/song.c "${example}\n")
  run(${C_COMPILER} -std=c99 -Wall -Wextra -Wpedantic -Werror ${cflags}
    ${work}/song.c -o ${work}/song ${libs})
  expect_output(${CMAKE_COMMAND} "title: Blue in Green"
    -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR} ${work}/song)

elseif(MODE STREQUAL "find-package")
  set(work ${WORK_DIR}/find-package)
  file(REMOVE_RECURSE ${work})
  set(configure ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
  run(${configure} -B ${work}/build -DORVELL_WANTED_VERSION=${VERSION_MAJOR}.0)
  run(${CMAKE_COMMAND} --build ${work}/build)
  # The build tree's RUNPATH points at the installed library.
  expect_output(${work}/build/consumer "${expected}")

  math(EXPR next_major "${VERSION_MAJOR} + 1")
  execute_process(COMMAND ${configure} -B ${work}/later -DORVELL_WANTED_VERSION=${next_major}.0
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    message(FATAL_ERROR "find_package(Orvell ${next_major}.0) accepted version ${VERSION}")
  endif()

else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
