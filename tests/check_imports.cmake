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
string(REPLACE "\n" ";" lines "${dump}")
set(imports "")
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    string(TOUPPER "${CMAKE_MATCH_1}" dll)
  elseif(line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z0-9_@]+)$" AND dll)
    list(APPEND imports "${dll} ${CMAKE_MATCH_1}")
  elseif(line MATCHES "^$")
    set(dll "")
  endif()
endforeach()
list(SORT imports)
file(STRINGS ${LIST} expected REGEX "^[^#]")
list(SORT expected)
set(added ${imports})
list(REMOVE_ITEM added ${expected})
set(removed ${expected})
if(imports)
  list(REMOVE_ITEM removed ${imports})
endif()
if(added OR removed)
  list(JOIN added "\n  " added)
  list(JOIN removed "\n  " removed)
  message(FATAL_ERROR "The product's imports differ from ${LIST}.\n"
    "New (look them up with LookUpSystemCall unless Windows 95 has them):\n  ${added}\n"
    "Gone:\n  ${removed}")
endif()
list(LENGTH imports count)
message("${count} imports, as listed")
