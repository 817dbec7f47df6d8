# Installs the build into a fresh prefix, then configures, builds and runs a
# consumer project against the installed package for each generation.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
    RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(pair "newest;1.62" "previous;1.6" "oldest;1.57")
  list(GET pair 0 generation)
  list(GET pair 1 version)
  set(build ${WORK}/consumer-${generation})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DCMAKE_PREFIX_PATH=${WORK}/prefix
      -DKOVRA_GENERATION=${generation} RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  endif()
  if(failed)
    message(FATAL_ERROR "consumer for ${generation} did not build:\n${log}")
  endif()
  execute_process(COMMAND ${build}/consumer RESULT_VARIABLE failed OUTPUT_VARIABLE out)
  set(expected "${version} $GPZDA,201530.123,04,07,2002,00,00*50")
  string(STRIP "${out}" out)
  if(failed OR NOT out STREQUAL expected)
    message(FATAL_ERROR "consumer for ${generation} printed '${out}', expected '${expected}'")
  endif()
endforeach()

# The engine, linked by a host of its own: three updates of the built-in
# scenario, a tenth of a second apart.
execute_process(COMMAND ${WORK}/consumer-newest/engine-consumer RESULT_VARIABLE failed OUTPUT_VARIABLE out)
string(REGEX MATCHALL "\\$GPRMC,201530\\.[123]23,A," updates "${out}")
list(LENGTH updates count)
if(failed OR NOT count EQUAL 3)
  message(FATAL_ERROR "the engine consumer printed:\n${out}")
endif()
# The installed program starts from its prefix, and from a staging DESTDIR,
# finding its libraries by where it lies.
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${WORK}/stage ${CMAKE_COMMAND} --install ${BUILD_DIR}
                        --prefix /usr/local RESULT_VARIABLE failed OUTPUT_QUIET)
foreach(program ${WORK}/prefix/bin/kovra-nmea ${WORK}/stage/usr/local/bin/kovra-nmea)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${program} --count 1
                          --time 2026-12-08T12:00:00Z --sentences RMC
                  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed OR NOT out MATCHES "^\\$GNRMC,120000\\.00,A,")
    message(FATAL_ERROR "the installed ${program} did not run:\n${out}")
  endif()
endforeach()
message(STATUS "the installed package builds and runs for every generation, and the engine's and the program")
