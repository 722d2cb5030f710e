# Checks exercise-check --class on a course download in the layouts learners' tools make: IDE
# projects with their build output, sources named loosely, sources named by number only (one of
# them wrong, one unrelated), a platform's loose files, an archive with a Word document for a
# source, one that cannot be read, and a teacher's map. The download is checked as a folder and
# as one .zip: the CSVs must be the same, row by row as expected, and the notes say how each
# source was chosen.
#
#   cmake -DCHECK=<exercise-check> [-DOPTIONS=<options>] -DSOURCE_DIR=<project> -DWORK_DIR=<dir>
#         -P check-layouts.cmake

cmake_minimum_required(VERSION 3.25)

set(download "${WORK_DIR}/download")
set(staging "${WORK_DIR}/staging")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${download}" "${staging}")
set(problems "")

set(all twodigits threedigits reversetwo echonumber averageheight circle helloworld hellolines
        greetings)
set(digits twodigits threedigits reversetwo)
set(calculators echonumber averageheight circle)
function(source_of program out)
    foreach(group IN ITEMS digit-exercises calculators greeting-programs)
        if(EXISTS "${SOURCE_DIR}/${group}/${program}.cpp")
            file(READ "${SOURCE_DIR}/${group}/${program}.cpp" code)
            set(${out} "${code}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "no source of ${program}")
endfunction()
set(suffix "_assignsubmission_file_")

# Tena: a Code::Blocks project per program, its build output holding an older copy that does not
# compile; one a Visual Studio project inside its solution's folder.
set(tena "${download}/Tena Vuković_2001${suffix}")
foreach(program IN LISTS all)
    source_of(${program} code)
    set(project "${tena}/${program}")
    if(program STREQUAL "twodigits")
        set(project "${tena}/Two Digits")
    endif()
    if(program STREQUAL "threedigits")
        file(WRITE "${tena}/ThreeDigits/ThreeDigits.sln" "solution\n")
        file(WRITE "${tena}/ThreeDigits/ThreeDigits/ThreeDigits.vcxproj" "<Project/>\n")
        file(WRITE "${tena}/ThreeDigits/ThreeDigits/Izvor.cpp" "${code}")
        file(WRITE "${tena}/ThreeDigits/x64/Debug/Izvor.cpp" "broken {\n")
        continue()
    endif()
    file(WRITE "${project}/main.cpp" "${code}")
    file(WRITE "${project}/${program}.cbp" "<CodeBlocks_project_file/>\n")
    file(WRITE "${project}/bin/Debug/main.cpp" "broken {\n")
    file(WRITE "${project}/obj/Debug/main.o" "object\n")
endforeach()

# A person under blind marking: sources named by number in another order, an average in integers,
# and a source of something else.
set(blind "${download}/Participant_2002${suffix}")
set(number 9)
foreach(program IN LISTS all)
    source_of(${program} code)
    if(program STREQUAL "averageheight")
        string(REPLACE "static_cast<double>(zbroj) / 3.0" "zbroj / 3" code "${code}")
    endif()
    file(WRITE "${blind}/zadatak${number}.cpp" "${code}")
    math(EXPR number "${number} - 1")
endforeach()
file(WRITE "${blind}/biljeske.cpp"
     "#include <iostream>\nint main() { std::cout << \"Zbroj je: \" << 5 + 7 << '\\n'; }\n")

# Filip: a platform's loose files, named loosely.
foreach(program IN LISTS digits calculators)
    source_of(${program} code)
    string(TOUPPER "${program}" name)
    if(program STREQUAL "reversetwo")
        set(name "Reverse_Two")
    endif()
    file(WRITE "${download}/Filip Perić_2003${suffix}${name}.Cpp" "${code}")
endforeach()

# Nina: an archive of numbered projects, circle.cpp a Word document, her circle mapped.
set(nina "${staging}/nina")
foreach(program IN LISTS digits)
    source_of(${program} code)
    file(WRITE "${nina}/Vjezbe/${program}.cpp" "${code}")
endforeach()
source_of(circle code)
file(WRITE "${nina}/Vjezbe/Projekt1/Source.cpp" "${code}")
string(ASCII 80 75 3 4 zip_magic) # what a Word document starts with: it is a zip
file(WRITE "${nina}/Vjezbe/circle.cpp" "${zip_magic}[Content_Types].xml word/document.xml")
file(MAKE_DIRECTORY "${download}/Nina Babić_2004${suffix}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${download}/Nina Babić_2004${suffix}/nina.zip"
                        --format=zip Vjezbe
                WORKING_DIRECTORY "${nina}" RESULT_VARIABLE zipped)
# Ivo: an archive cut short.
file(WRITE "${download}/Ivo Kos_2005${suffix}/ivo.zip" "${zip_magic} cut short")
if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "could not make nina.zip")
endif()
file(WRITE "${WORK_DIR}/map.txt"
     "# chosen by the teacher\nNina Babić/nina.zip/Vjezbe/Projekt1/Source.cpp = circle\n")

# The same download as one .zip, as the platform gives it.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${WORK_DIR}/download.zip" --format=zip .
                WORKING_DIRECTORY "${download}" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
    message(FATAL_ERROR "could not make download.zip")
endif()

set(correct "correct,correct,correct")
set(absent "absent,absent,absent")
set(expected_rows
    "person,id,twodigits,threedigits,reversetwo,echonumber,averageheight,circle,helloworld,hellolines,greetings,points,max_points,late"
    # Moodle's download does not mark late work: the late column is empty.
    "Filip Perić,2003,${correct},${correct},${absent},6,9,"
    "Ivo Kos,2005,${absent},${absent},${absent},0,9,"
    "Nina Babić,2004,${correct},absent,absent,correct,${absent},4,9,"
    "Participant 2002,2002,${correct},correct,wrong,correct,${correct},8,9,"
    "Tena Vuković,2001,${correct},${correct},${correct},9,9,")
foreach(form IN ITEMS folder zip)
    set(given "${download}")
    if(form STREQUAL "zip")
        set(given "${WORK_DIR}/download.zip")
    endif()
    set(csv "${WORK_DIR}/${form}.csv")
    execute_process(COMMAND "${CHECK}" ${OPTIONS} --stress-runs 5 --class "${given}"
                            --map "${WORK_DIR}/map.txt" --csv "${csv}"
                    RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE errors)
    message("${log}${errors}")
    if(NOT status STREQUAL "1")
        string(APPEND problems "  ${form}: exit status ${status}, not 1\n")
    endif()
    foreach(text IN ITEMS "9 sources taken by their folders: Two Digits/main.cpp,"
                          "ThreeDigits/ThreeDigits/Izvor.cpp, reversetwo/main.cpp"
                          "zadatak5.cpp taken as averageheight by its output"
                          "zadatak4.cpp taken as circle by its output"
                          "biljeske.cpp prints what none of the programs left does"
                          "6 sources taken by their names: TWODIGITS.Cpp"
                          "Projekt1/Source.cpp taken as circle by the map"
                          "circle.cpp is a Word document" "ivo.zip could not be read")
        string(REPLACE "\n        " " " flat "${log}")
        string(FIND "${flat}" "${text}" at)
        if(at LESS 0)
            string(APPEND problems "  ${form}: the notes do not say: ${text}\n")
        endif()
    endforeach()
    file(STRINGS "${csv}" rows ENCODING UTF-8)
    if(NOT rows STREQUAL expected_rows)
        string(REPLACE ";" "\n    " rows "${rows}")
        string(REPLACE ";" "\n    " want "${expected_rows}")
        string(APPEND problems "  ${form}: the CSV is\n    ${rows}\n  not\n    ${want}\n")
    endif()
endforeach()
file(READ "${WORK_DIR}/folder.csv" from_folder)
file(READ "${WORK_DIR}/zip.csv" from_zip)
if(NOT from_folder STREQUAL from_zip)
    string(APPEND problems "  the download as a .zip gives another CSV than as a folder\n")
endif()

if(problems)
    message(FATAL_ERROR "the download was not read as it should be:\n${problems}")
endif()
