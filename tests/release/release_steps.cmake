# Helpers of the release check scripts (included, not run).

# Runs a command; a failure ends the script with `what`, the exit code and the output. The output
# is left in `out`.
function(run what)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# The path as Wine's Z: drive shows it.
function(wine_path unix_path result)
  string(REPLACE "/" "\\" windows "${unix_path}")
  set(${result} "Z:${windows}" PARENT_SCOPE)
endfunction()
