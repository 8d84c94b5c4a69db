# dpu_delay_load(TARGET DLL...): links TARGET with delay-import libraries for
# the named system DLLs ("user32", "ws2_32"), so that each is loaded the first
# time one of its functions is called rather than when the program starts.
# A static Qt imports a dozen DLLs the tool uses for a few rare calls or not
# at all, and under Wine each costs milliseconds at every start.
#
# Each library is made at configure time from the MinGW import library's list
# of exports (nm) by dlltool, and is linked ahead of the import libraries Qt
# names, so the linker resolves those functions from it.
function(dpu_delay_load target)
  if(NOT WIN32 OR NOT CMAKE_DLLTOOL OR NOT CMAKE_NM)
    return()
  endif()
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/delayload)
  file(MAKE_DIRECTORY ${out_dir})
  set(libs)
  foreach(dll IN LISTS ARGN)
    find_library(dpu_import_${dll} NAMES lib${dll}.a)
    if(NOT dpu_import_${dll})
      message(FATAL_ERROR "The import library lib${dll}.a was not found")
    endif()
    set(def ${out_dir}/${dll}.def)
    set(lib ${out_dir}/lib${dll}-delay.a)
    if(NOT EXISTS ${lib} OR ${dpu_import_${dll}} IS_NEWER_THAN ${lib})
      execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${dpu_import_${dll}}
        OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
      if(failed)
        message(FATAL_ERROR "nm could not read ${dpu_import_${dll}}")
      endif()
      string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(TRANSFORM imports REPLACE " I __imp_" "")
      list(REMOVE_DUPLICATES imports)
      list(JOIN imports "\n" exports)
      file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
      execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${lib}
        RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "dlltool could not make ${lib}")
      endif()
    endif()
    list(APPEND libs ${lib})
  endforeach()
  target_link_libraries(${target} PRIVATE ${libs})
endfunction()
