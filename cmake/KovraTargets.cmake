# Helpers applied per target: warnings, sanitizers, and the per-generation library.

function(kovra_apply_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

function(kovra_apply_sanitizers target)
  if(KOVRA_FUZZ)
    # Coverage for the fuzzers, in the library as in the targets.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
  if(KOVRA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${KOVRA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${KOVRA_SANITIZE})
  endif()
endfunction()

# kovra_add_library(<generation> <profile index> <output name>)
# Creates the shared library target kovra_<generation>, written to lib/<generation>/.
function(kovra_add_library generation profile output_name)
  set(KOVRA_PROFILE_INDEX_${generation} ${profile} CACHE INTERNAL "build-profile index of a generation")
  set(target kovra_${generation})
  add_library(${target} SHARED ${KOVRA_LIBRARY_SOURCES})
  target_compile_definitions(${target} PUBLIC KOVRA_BUILD_PROFILE=${profile} PRIVATE KOVRA_BUILDING_LIBRARY)
  target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/kovra>)
  set_target_properties(${target} PROPERTIES
      OUTPUT_NAME ${output_name}
      EXPORT_NAME ${generation}
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/${generation}
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
  find_package(Threads REQUIRED)
  target_link_libraries(${target} PUBLIC Threads::Threads)
  # The library never reads errno after a math call; this lets the compiler
  # inline rounding and square roots.
  target_compile_options(${target} PRIVATE -fno-math-errno)
  kovra_apply_warnings(${target})
  kovra_apply_sanitizers(${target})
  install(TARGETS ${target} EXPORT KovraNMEATargets
      LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kovra/${generation})
endfunction()
