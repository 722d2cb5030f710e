# For the end-to-end checks' scripts: break_source(file from to) replaces from by to in a source
# made from this project's own, failing the check when the source no longer holds from.
function(break_source file from to)
    file(READ "${file}" code)
    string(FIND "${code}" "${from}" at)
    if(at LESS 0)
        message(FATAL_ERROR "${file} no longer holds: ${from}")
    endif()
    string(REPLACE "${from}" "${to}" code "${code}")
    file(WRITE "${file}" "${code}")
endfunction()
