# dorvane_add_test(NAME SOURCES files... LIBS targets... [ADB] [FUSE] [LABELS labels...] [TIMEOUT seconds])
#
# One test program is one CTest test. ADB marks tests that use the shared adb
# server on 127.0.0.1:5037 (its device list is global, so those tests never run
# at the same time). FUSE marks tests that mount; they skip when /dev/fuse is
# unusable. Programs whose main is the Qt test main get an offscreen
# QApplication, so QProcess, timers and coroutines work in them.
function(dorvane_add_test name)
  cmake_parse_arguments(T "ADB;FUSE;NO_QT_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} dorvane_test_support GTest::gmock)
  if(NOT T_NO_QT_MAIN)
    target_link_libraries(${name} PRIVATE dorvane_test_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(locks "")
  if(T_ADB)
    list(APPEND locks adb_server)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0;UBSAN_OPTIONS=print_stacktrace=1")
  if(locks)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()
