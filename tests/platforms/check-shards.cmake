# A class split across machines: checked once whole and once in 3 shards (--shard K/3), the
# shards merged. The merge gives the same CSV, and in its JSON the same people in the same order
# with the same verdicts, faults and notes of who handed in the same source, across shards too.
# Ana and Dora fall in shard 2, Bob and Goran in shard 1, Carla and Émile in shard 3.
include(${CMAKE_CURRENT_LIST_DIR}/platforms-common.cmake)

set(all twodigits threedigits reversetwo echonumber averageheight circle helloworld hellolines
        greetings)
set(class "${WORK_DIR}/class")
hand_in("${class}/Ana Marić" ${all})
hand_in("${class}/Bob" ${all})
hand_in("${class}/Carla Núñez" ${all})
hand_in("${class}/Goran" twodigits circle)
file(MAKE_DIRECTORY "${class}/Émile Zola")
hand_in("${class}/Dora" ${all})
break_source("${class}/Dora/circle.cpp" "return" "retrun")
# Carla and Goran, in shards 3 and 1, share a twodigits no one else has.
foreach(person "Carla Núñez" Goran)
    break_source("${class}/${person}/twodigits.cpp" "int main" "// mine\nint main")
endforeach()
break_source("${class}/Goran/circle.cpp" "3.14159" "3.14")

run_step(log COMMAND "${CHECK}" --sandbox auto --class "${class}" --json "${WORK_DIR}/one.json"
                     --csv "${WORK_DIR}/one.csv" STATUS 1)
set(parts "")
foreach(shard 1 2 3)
    run_step(log COMMAND "${CHECK}" --sandbox auto --class "${class}" --shard ${shard}/3
                         --json "${WORK_DIR}/shard-${shard}.json" STATUS 0 1)
    list(APPEND parts "${WORK_DIR}/shard-${shard}.json")
    file(READ "${WORK_DIR}/shard-${shard}.json" json)
    string(JSON people LENGTH "${json}" people)
    expect("people in shard ${shard}" "${people}" 2)
endforeach()
# The merge's exit status is the one run's: 1, since the class has wrong programs.
run_step(log COMMAND "${CHECK}" merge ${parts} --json "${WORK_DIR}/merged.json"
                     --csv "${WORK_DIR}/merged.csv" STATUS 1)

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/one.csv"
                        "${WORK_DIR}/merged.csv" RESULT_VARIABLE differ)
if(differ)
    file(READ "${WORK_DIR}/one.csv" one)
    file(READ "${WORK_DIR}/merged.csv" merged)
    message(FATAL_ERROR "the merged CSV differs from one run's:\n${one}\n---\n${merged}")
endif()

file(READ "${WORK_DIR}/one.json" one)
file(READ "${WORK_DIR}/merged.json" merged)
foreach(key sandbox memory_limit strict)
    string(JSON value GET "${one}" ${key})
    string(JSON merged_value GET "${merged}" ${key})
    expect("the report's ${key}" "${merged_value}" "${value}")
endforeach()
string(JSON people LENGTH "${one}" people)
string(JSON merged_people LENGTH "${merged}" people)
expect("people" "${merged_people}" "${people}")
set(shared "")
math(EXPR last_person "${people} - 1")
foreach(person RANGE ${last_person})
    string(JSON name GET "${one}" people ${person} name)
    string(JSON merged_name GET "${merged}" people ${person} name)
    expect("person ${person}" "${merged_name}" "${name}")
    string(JSON programs LENGTH "${one}" people ${person} programs)
    math(EXPR last_program "${programs} - 1")
    foreach(program RANGE ${last_program})
        foreach(key program verdict same_source_as advice source_sha256 diagnosis unexplained)
            string(JSON value GET "${one}" people ${person} programs ${program} ${key})
            string(JSON merged_value GET "${merged}" people ${person} programs ${program} ${key})
            if(NOT merged_value STREQUAL value)
                message(FATAL_ERROR "${name}'s program ${program}: ${key} is ${merged_value} "
                                    "merged, ${value} in one run")
            endif()
        endforeach()
    endforeach()
endforeach()
string(JSON goran GET "${merged}" people 4 name)
expect("the fifth person" "${goran}" Goran)
string(JSON goran_shares GET "${merged}" people 4 programs 0 same_source_as 0)
expect("who shares Goran's twodigits" "${goran_shares}" "Carla Núñez")
