# Checks exercise-check --class on a class made from this project's own sources: people named
# with blanks, quotes, commas and letters beyond ASCII; one who handed in nothing; one wrapped
# deep with two versions; a .zip with a platform's junk and a program that does not compile; a
# helloworld that prints a script; an exact copy. Reads the CSV row by row, and renders the web
# page in a headless browser when CHROMIUM is given.
#
#   cmake -DCHECK=<exercise-check> [-DOPTIONS=<options>] -DSOURCE_DIR=<project> -DWORK_DIR=<dir>
#         [-DCHROMIUM=<chromium> -DSCREENSHOT=<png>] -P check-class.cmake

cmake_minimum_required(VERSION 3.25)

set(class "${WORK_DIR}/class")
set(staging "${WORK_DIR}/staging")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${class}" "${staging}")

set(groups digit-exercises calculators greeting-programs)
set(digits twodigits threedigits reversetwo)
set(calculators echonumber averageheight circle)
set(greetings helloworld hellolines greetings)
set(problems "")

# Copies the project's sources of the programs named into folder, in their group folders when
# grouped is set.
function(hand_in folder grouped)
    foreach(group IN LISTS groups)
        file(GLOB sources "${SOURCE_DIR}/${group}/*.cpp")
        foreach(source IN LISTS sources)
            get_filename_component(program "${source}" NAME_WE)
            if(NOT program IN_LIST ARGN)
                continue()
            endif()
            if(grouped)
                file(COPY "${source}" DESTINATION "${folder}/${group}")
            else()
                file(COPY "${source}" DESTINATION "${folder}")
            endif()
        endforeach()
    endforeach()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/../break-source.cmake)

set(all ${digits} ${calculators} ${greetings})
set(ana "Ana Marić")
set(bob "Bob \"Bobby\" Smith, Jr.")
set(carla "Carla Núñez")
set(emile "Émile Zola")
hand_in("${class}/${ana}" OFF ${all})
hand_in("${class}/${emile}" OFF ${all})
hand_in("${class}/${bob}" ON ${all})
break_source("${class}/${bob}/greeting-programs/helloworld.cpp" "\"Hello World!\""
             "\"<script>document.title='taken by a hand-in';alert(1)</script>\"")
hand_in("${class}/${carla}/hand-in/v2" ON ${digits} ${calculators})
hand_in("${class}/${carla}/hand-in/v1" OFF helloworld hellolines)
file(MAKE_DIRECTORY "${class}/Empty")
hand_in("${staging}/Dora" OFF ${all})
break_source("${staging}/Dora/circle.cpp" "return" "retrun")
file(WRITE "${staging}/Dora/._twodigits.cpp" "junk of a file manager")
file(WRITE "${staging}/__MACOSX/Dora/._circle.cpp" "junk of a file manager")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${class}/Dora.zip" --format=zip Dora __MACOSX
                WORKING_DIRECTORY "${staging}" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "could not make Dora.zip")
endif()

set(csv "${WORK_DIR}/class.csv")
set(html "${WORK_DIR}/class.html")
execute_process(COMMAND "${CHECK}" ${OPTIONS} --stress-runs 20 --class "${class}" --csv "${csv}"
                        --html "${html}"
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE errors)
message("${log}${errors}")
if(NOT status STREQUAL "1")
    message(FATAL_ERROR "exercise-check should exit with 1 on a class with wrong programs, "
                        "not ${status}")
endif()
foreach(text IN ITEMS "Same sources" "note: sources found in ${carla}/hand-in/v2 (6 programs)"
                      "note: nothing handed in" "circle does not compile: circle.cpp:"
                      "helloworld wrong: plain wrong-output: line 1, column 1: expected 'H'")
    string(FIND "${log}" "${text}" at)
    if(at LESS 0)
        string(APPEND problems "  the gradebook does not say: ${text}\n")
    endif()
endforeach()

# The CSV, row by row, in name order.
set(correct "correct,correct,correct")
set(absent "absent,absent,absent")
set(expected_rows
    "person,id,twodigits,threedigits,reversetwo,echonumber,averageheight,circle,helloworld,hellolines,greetings,points,max_points,late"
    # A class of folders does not say who was late: the late column is empty.
    "${ana},,${correct},${correct},${correct},9,9,"
    "\"Bob \"\"Bobby\"\" Smith, Jr.\",,${correct},${correct},wrong,correct,correct,8,9,"
    "${carla},,${correct},${correct},${absent},6,9,"
    "Dora,,${correct},correct,correct,does-not-compile,${correct},8,9,"
    "Empty,,${absent},${absent},${absent},0,9,"
    "${emile},,${correct},${correct},${correct},9,9,")
list(LENGTH expected_rows expected_count)
# file(READ) drops the CRs; the size tells how many there were, one for each row.
file(READ "${csv}" table)
file(SIZE "${csv}" size)
string(LENGTH "${table}" length)
string(REGEX MATCHALL "\n" lfs "${table}")
list(LENGTH lfs lf_count)
math(EXPR cr_count "${size} - ${length}")
if(NOT cr_count EQUAL expected_count OR NOT lf_count EQUAL expected_count)
    string(APPEND problems "  not every row of the CSV ends in CRLF\n")
endif()
string(REPLACE ";" "<semicolon>" table "${table}")
string(REPLACE "\r" "" table "${table}")
string(REPLACE "\n" ";" rows "${table}")
list(POP_BACK rows)
list(LENGTH rows count)
if(NOT count EQUAL expected_count)
    string(APPEND problems "  the CSV has ${count} rows, not ${expected_count}\n")
endif()
foreach(index RANGE 1 ${expected_count})
    math(EXPR at "${index} - 1")
    list(GET expected_rows ${at} want)
    if(at LESS count)
        list(GET rows ${at} got)
    else()
        set(got "(none)")
    endif()
    if(NOT got STREQUAL want)
        string(APPEND problems "  CSV row ${index}:\n    expected ${want}\n    got      ${got}\n")
    endif()
endforeach()

# The page as a browser shows it, after its scripts ran: the hand-in's script must not be one.
if(CHROMIUM)
    set(options --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
                --disable-background-networking --disable-component-update --disable-sync)
    set(profile "${WORK_DIR}/browser-profile")
    file(MAKE_DIRECTORY "${profile}")
    execute_process(COMMAND "${CHROMIUM}" ${options} "--user-data-dir=${profile}" --dump-dom
                            "file://${html}"
                    OUTPUT_VARIABLE dom ERROR_QUIET TIMEOUT 120 RESULT_VARIABLE rendered)
    if(NOT rendered EQUAL 0 OR dom STREQUAL "")
        string(APPEND problems "  chromium could not render the page (${rendered})\n")
    endif()
    foreach(text IN ITEMS "<title>exercise-check gradebook</title>"
                          "script&gt;document.title='taken by a hand-in'"
                          "<mark>H</mark>ello World!" "<mark>&lt;</mark>script&gt;"
                          "retrun" "The same source as" "${carla}/hand-in/v2"
                          ">${ana}<" ">${bob}<" ">${carla}<" ">Dora<" ">Empty<" ">${emile}<")
        string(FIND "${dom}" "${text}" at)
        if(at LESS 0)
            string(APPEND problems "  the rendered page does not show: ${text}\n")
        endif()
    endforeach()
    foreach(text IN ITEMS "taken by a hand-in</title>" "<script>document.title")
        string(FIND "${dom}" "${text}" at)
        if(NOT at LESS 0)
            string(APPEND problems "  the hand-in's script took over the page: ${text}\n")
        endif()
    endforeach()
    foreach(size IN ITEMS "1280,900" "390,844")
        set(png "${SCREENSHOT}")
        if(size STREQUAL "390,844")
            string(REPLACE ".png" "-phone.png" png "${png}")
        endif()
        execute_process(COMMAND "${CHROMIUM}" ${options} "--user-data-dir=${profile}"
                                "--screenshot=${png}" "--window-size=${size}" "file://${html}"
                        OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
        if(NOT EXISTS "${png}")
            string(APPEND problems "  no screenshot at ${png}\n")
        endif()
    endforeach()
else()
    message("chromium not found: the page was not rendered; only the CSV and the gradebook were "
            "checked")
    file(READ "${html}" page)
    string(FIND "${page}" "<script>document.title" at)
    if(NOT at LESS 0)
        string(APPEND problems "  the hand-in's script is in the page as a script\n")
    endif()
endif()

if(problems)
    message(FATAL_ERROR "the class was not checked as it should be:\n${problems}")
endif()
