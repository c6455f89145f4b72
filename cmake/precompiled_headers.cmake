# One precompiled header per kind of target, reused by every target of that kind: the standard library and
# nlohmann/json (which the action contract brings into most sources), GoogleTest for the tests, and Qt
# Widgets and D-Bus for the host. GCC only takes a precompiled header built with the same -fpic/-fpie
# setting, so targets that link Qt (position-independent: -fpic for libraries, -fpie for programs) get
# donors of their own.

set(presswick_pch_plain
  <algorithm> <array> <chrono> <cstddef> <cstdint> <expected> <filesystem> <functional> <map> <memory>
  <mutex> <optional> <span> <string> <string_view> <utility> <variant> <vector> <nlohmann/json.hpp>)
set(presswick_pch_gtest <gtest/gtest.h>)
set(presswick_pch_qt
  <QApplication> <QWidget> <QLabel> <QPushButton> <QScrollArea> <QTimer> <QPainter> <QDBusConnection>
  <QDBusMessage>)

# The donor of one kind: an empty program or library that only builds the precompiled header. A donor
# of position-independent code links Qt as its consumers do, which gives it their -fpic or -fpie.
function(presswick_pch_donor name widgets gtest pic program out)
  set(donor presswick_pch_${name})
  if(NOT TARGET ${donor})
    set(source ${CMAKE_BINARY_DIR}/pch/${donor}.cpp)
    if(program)
      file(WRITE ${source} "int main() { return 0; }\n")
      add_executable(${donor} EXCLUDE_FROM_ALL ${source})
    else()
      file(WRITE ${source} "")
      add_library(${donor} STATIC EXCLUDE_FROM_ALL ${source})
    endif()
    set(headers ${presswick_pch_plain})
    if(gtest)
      list(APPEND headers ${presswick_pch_gtest})
      target_link_libraries(${donor} PRIVATE GTest::gtest)  # its definitions (GTEST_HAS_PTHREAD) as well
      target_compile_options(${donor} PRIVATE ${presswick_test_compile_options})
    endif()
    if(widgets)
      find_package(Qt6 REQUIRED COMPONENTS Widgets DBus)
      list(APPEND headers ${presswick_pch_qt})
      target_link_libraries(${donor} PRIVATE Qt6::Widgets Qt6::DBus)
    elseif(pic)
      find_package(Qt6 REQUIRED COMPONENTS Core)
      target_link_libraries(${donor} PRIVATE Qt6::Core)
    endif()
    target_precompile_headers(${donor} PRIVATE ${headers})
    set_target_properties(${donor} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/pch)
  endif()
  set(${out} ${donor} PARENT_SCOPE)
endfunction()

foreach(target ${presswick_all_targets})
  get_target_property(type ${target} TYPE)
  get_target_property(sources ${target} SOURCES)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$" OR NOT sources
     OR target MATCHES "^presswick_pch_")
    continue()
  endif()
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    continue()
  endif()
  presswick_links(${target} "^Qt6::Widgets$|^kora_ui_qt$" widgets)
  presswick_links(${target} "^Qt6::" pic)
  presswick_links(${target} "^GTest::" gtest)
  set(program FALSE)
  set(name plain)
  if(widgets)
    set(name qt)
  elseif(pic)
    set(name qtcore)
  endif()
  if(pic AND type STREQUAL "EXECUTABLE")
    set(program TRUE)
    set(name ${name}_program)
  endif()
  if(gtest)
    set(name ${name}_gtest)
  endif()
  presswick_pch_donor(${name} ${widgets} ${gtest} ${pic} ${program} donor)
  target_precompile_headers(${target} REUSE_FROM ${donor})
  # A source whose flags still differ from its donor's reads the headers instead: slower, not wrong.
  target_compile_options(${target} PRIVATE -Wno-error=invalid-pch)
endforeach()
