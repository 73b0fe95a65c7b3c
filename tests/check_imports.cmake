# Compares the static imports of the i686 product with the committed list, so
# that no new import slips in: Windows 95 refuses to load a program that
# imports a function its DLLs lack, and every such function is looked up at
# run time instead. A change of the list is a reviewed change of that file.
#
#   cmake -DOBJDUMP=... -DEXE=ostrivel.exe -DLIST=product_imports.txt -P check_imports.cmake
if(NOT EXISTS "${EXE}")
  message("product not built: ${EXE} (build the win32 preset first)")
  return()
endif()
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+|\n\t[0-9a-f]+\t +[0-9]+ +[A-Za-z0-9_@]+" items "${dump}")
set(imports "")
foreach(item IN LISTS items)
  if(item MATCHES "DLL Name: (.+)")
    string(TOUPPER "${CMAKE_MATCH_1}" dll)
  elseif(item MATCHES " ([A-Za-z0-9_@]+)$")
    list(APPEND imports "${dll} ${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT imports)
file(STRINGS ${LIST} expected REGEX "^[^#]")
list(SORT expected)
if(NOT imports STREQUAL expected)
  list(JOIN imports "\n  " imports)
  message(FATAL_ERROR "The product's imports differ from ${LIST} (a function Windows 95 lacks is looked up "
    "with LookUpSystemCall instead). Now:\n  ${imports}")
endif()
