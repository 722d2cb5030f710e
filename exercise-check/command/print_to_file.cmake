# cmake -DCHECK=<exercise-check> -DARGUMENTS=<a;b> -DOUTPUT=<file> -P print_to_file.cmake: what
# the checker prints for the arguments, as the file.
execute_process(COMMAND ${CHECK} ${ARGUMENTS} OUTPUT_FILE ${OUTPUT}.partial RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT}.partial)
    message(FATAL_ERROR "${CHECK} ${ARGUMENTS} ended with ${status}")
endif()
file(RENAME ${OUTPUT}.partial ${OUTPUT})
