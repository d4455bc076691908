# Compiles a file holding one #include with the given include folders and
# checks the verdict: "builds", or "refused" because the header is not found.
file(MAKE_DIRECTORY "${SCRATCH}")
file(WRITE "${SCRATCH}/probe.cpp" "#include \"${HEADER}\"\n")
set(flags)
foreach(dir IN LISTS INCLUDES)
  list(APPEND flags "-I${dir}")
endforeach()
execute_process(
  COMMAND "${COMPILER}" -std=c++20 -fsyntax-only ${flags} "${SCRATCH}/probe.cpp"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(VERDICT STREQUAL "builds")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${HEADER} should be reachable:\n${out}")
  endif()
elseif(result EQUAL 0)
  message(FATAL_ERROR "${HEADER} was reachable, so this include would build")
elseif(NOT out MATCHES "No such file or directory|file not found")
  message(FATAL_ERROR "${HEADER} failed for another reason than the layering:\n${out}")
endif()
