# This project's own programs, checked as anyone's are: copied into a folder as a learner would
# hand them in and checked strictly, in the sandbox the checker picks. Every one must be correct.
#
#   cmake -DCHECK=<exercise-check> "-DOPTIONS=<options>" -DSOURCE_DIR=<project>
#         -DWORK_DIR=<scratch folder> -P check-own-sources.cmake
foreach(variable IN ITEMS CHECK SOURCE_DIR WORK_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "${variable} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(GLOB sources ${SOURCE_DIR}/digit-exercises/*.cpp ${SOURCE_DIR}/calculators/*.cpp
     ${SOURCE_DIR}/greeting-programs/*.cpp)
list(LENGTH sources count)
if(count EQUAL 0)
    message(FATAL_ERROR "no sources under ${SOURCE_DIR}")
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/own)
file(COPY ${sources} DESTINATION ${WORK_DIR}/own)

execute_process(COMMAND ${CHECK} ${OPTIONS} --strict ${WORK_DIR}/own RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "exercise-check --strict on this project's ${count} programs exited with "
                        "${status}: each of them should be correct")
endif()
