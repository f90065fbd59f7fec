find_package(GTest REQUIRED)
include(GoogleTest)

# ostrim_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [QT] [SIMSERVER])
# One GoogleTest executable; each test case becomes a CTest test. QT: the test runs with a
# QApplication on the offscreen platform and the scripted dialog service available. SIMSERVER:
# the test starts an ostrim-simserver of this build (server_environment.h); sybdb.h then owns
# FAIL and SUCCEED, so GoogleTest's macros of those names are off.
function(ostrim_add_test name)
    cmake_parse_arguments(T "QT;SIMSERVER" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(T_UNPARSED_ARGUMENTS OR T_KEYWORDS_MISSING_VALUES)
        message(FATAL_ERROR "ostrim_add_test(${name}): unknown or empty arguments: "
                            "${T_UNPARSED_ARGUMENTS} ${T_KEYWORDS_MISSING_VALUES}")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
        if(T_SIMSERVER)
            set(T_TIMEOUT 180)
        endif()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    if(T_QT)
        target_link_libraries(${name} PRIVATE ${T_LIBS} ostrim_test_support ostrim_qt_test_main
                                              GTest::gtest Threads::Threads)
    else()
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main
                                              Threads::Threads)
    endif()
    if(T_SIMSERVER)
        target_link_libraries(${name} PRIVATE ostrim_test_server sybdb::sybdb)
        target_compile_definitions(${name} PRIVATE GTEST_DONT_DEFINE_FAIL=1
                                                   GTEST_DONT_DEFINE_SUCCEED=1)
        add_dependencies(${name} ostrim-simserver)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                         DISCOVERY_TIMEOUT 60)
endfunction()
