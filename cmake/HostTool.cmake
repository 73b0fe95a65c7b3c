# add_host_tool(<name> SOURCES <files...>)
# Builds a generator that runs on the build machine during the build. In the
# native build it is an ordinary executable; in the cross builds it is compiled
# with the machine's own C++ compiler, since a Windows binary cannot run here.
# The path of the runnable tool is left in the cache variable <name>_EXE, and
# the target <name> builds it.
find_program(OSTRIVEL_NATIVE_CXX NAMES c++ g++ clang++ REQUIRED)

function(add_host_tool name)
  cmake_parse_arguments(T "" "" "SOURCES" ${ARGN})
  set(srcs)
  foreach(s IN LISTS T_SOURCES)
    list(APPEND srcs ${CMAKE_CURRENT_SOURCE_DIR}/${s})
  endforeach()
  if(CMAKE_CROSSCOMPILING)
    set(exe ${CMAKE_CURRENT_BINARY_DIR}/${name}-native)
    # A tool includes only headers of its own folder; a change to one of
    # them must rebuild the tool, as a compiler-tracked build would.
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_custom_command(OUTPUT ${exe}
      COMMAND ${OSTRIVEL_NATIVE_CXX} -std=c++20 -O2 -Wall -o ${exe} ${srcs}
      DEPENDS ${srcs} ${headers}
      COMMENT "Building native tool ${name}")
    add_custom_target(${name} DEPENDS ${exe})
    set(${name}_EXE ${exe} CACHE INTERNAL "")
  else()
    add_executable(${name} ${T_SOURCES})
    set(${name}_EXE $<TARGET_FILE:${name}> CACHE INTERNAL "")
  endif()
endfunction()
