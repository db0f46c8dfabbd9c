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

# Ends every copy of the demo app that an installer run started from `install_dir` (the guard and
# the app it starts) before the script goes on: nothing may outlive it in the Wine session the
# next tests share, which look for running copies of the app. The app is asked first
# ("pelko.exe --quit" tells every copy to end); what still runs (a process of the system whose
# command line names the folder, and has not ended) is ended, the guard first, until none has run
# for a second.
function(end_demo_app install_dir)
  wine_path(${install_dir} windows_dir)
  if(EXISTS ${install_dir}/pelko.exe)
    execute_process(COMMAND ${WINE_RUN} ${LAUNCHER} --timeout 20
                            --cmdline "\"${windows_dir}\\pelko.exe\" --quit"
                            "${windows_dir}\\pelko.exe" OUTPUT_QUIET ERROR_QUIET)
  endif()
  set(quiet 0)
  foreach(attempt RANGE 40)
    execute_process(COMMAND ps -eo stat=,args= OUTPUT_VARIABLE processes)
    set(running "")
    string(REPLACE "\n" ";" processes "${processes}")
    foreach(process ${processes})
      string(FIND "${process}" "${windows_dir}" at)
      string(FIND "${process}" "${install_dir}" unix_at)
      if((NOT at EQUAL -1 OR NOT unix_at EQUAL -1) AND NOT process MATCHES "^ *Z")
        string(APPEND running "${process}\n")
      endif()
    endforeach()
    if(running)
      set(quiet 0)
      foreach(image pelko-guard.exe pelko.exe)
        execute_process(COMMAND ${WINE_RUN} taskkill /F /IM ${image} OUTPUT_QUIET ERROR_QUIET)
      endforeach()
    else()
      math(EXPR quiet "${quiet} + 1")
      if(quiet GREATER 3)
        return()
      endif()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.25)
  endforeach()
  message(FATAL_ERROR "copies of the demo app still run:\n${running}")
endfunction()
