# Under wine every start of a program is slow unless a wine server is already up. For the tests,
# a fixture starts one persistent server for the build tree's wine prefix (creating the prefix
# the first time) and ends that one server, and no other, when the tests are done.
#
# require_wine_server() makes every test so far in the current directory need that fixture.

function(require_wine_server)
    if(CONSOLE_EXERCISES_WINE_SERVER)
        get_directory_property(tests TESTS)
        list(REMOVE_ITEM tests wine.start-server wine.stop-server)
        set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED wine)
    endif()
endfunction()

if(NOT CMAKE_CROSSCOMPILING OR NOT CONSOLE_EXERCISES_WINE_ENV)
    return()
endif()

set(CONSOLE_EXERCISES_WINE_SERVER ON)
set(wine env ${CONSOLE_EXERCISES_WINE_ENV})
# The server and the programs wineboot starts stay up after the test: their output goes to a
# log, or CTest would wait for them to close it.
add_test(NAME wine.start-server
         COMMAND sh -c [[mkdir -p "$0" && { "$@" wineserver -p && "$@" wine wineboot --init; } \
                         >"$0/start.log" 2>&1 || { cat "$0/start.log"; exit 1; }]]
                 ${PROJECT_BINARY_DIR}/wine-prefix ${wine})
add_test(NAME wine.stop-server COMMAND ${wine} wineserver -k)
set_tests_properties(wine.start-server PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
set_tests_properties(wine.stop-server PROPERTIES FIXTURES_CLEANUP wine)
