# Tests and their precompiled headers are compiled for a quick build: -O1 without debug information takes
# about half the time of -O2 -g, and the code under test keeps the build type's own flags. A Debug build
# keeps its flags for tests too.
set(presswick_test_compile_options "$<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:-O1;-g0>")

foreach(target ${presswick_all_targets})
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$")
    continue()
  endif()
  presswick_links(${target} "^GTest::" gtest)
  if(gtest)
    target_compile_options(${target} PRIVATE ${presswick_test_compile_options})
  endif()
endforeach()
