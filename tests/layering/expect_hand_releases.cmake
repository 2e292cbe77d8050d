# Runs the ownership check on its sample tree and compares the hand releases
# it reports with the list below: every one found, nothing else (comments,
# shared/, tests, the allowed count forwarder, look-alike names), and a
# failure.
cmake_minimum_required(VERSION 3.20)

set(expected
  "HAND-RELEASE app/audio.cpp: if (info.pFilter) info.pFilter->Release(),"
  "HAND-RELEASE app/audio.cpp: if (text) LocalFree(text),"
  "HAND-RELEASE baseclasses/unknown.h: inline void Close(HANDLE h) { CloseHandle(h), }"
  "HAND-RELEASE classlib/ui/gdi.cpp: CoTaskMemFree(p),"
  "HAND-RELEASE classlib/ui/gdi.cpp: DeleteDC(memory),"
  "HAND-RELEASE classlib/ui/gdi.cpp: DeleteObject(font),"
  "HAND-RELEASE classlib/ui/gdi.cpp: RegCloseKey(key),"
  "HAND-RELEASE classlib/ui/gdi.cpp: ReleaseDC(wnd, dc),"
  "HAND-RELEASE classlib/ui/gdi.cpp: SysFreeString(s),"
  "HAND-RELEASE media/record.cpp: VariantClear(&value),"
  "HAND-RELEASE media/record.cpp: r.pUnk -> Release (),"
  "HAND-RELEASE wine_platform/file.cpp: void Done(HANDLE file) { ::CloseHandle(file), }"
)

execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE ";" "," all "${out}${err}")
string(REGEX MATCHALL "HAND-RELEASE [^\n]*" found "${all}")
list(SORT found)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with hand releases:\n${out}${err}")
endif()
if(NOT found STREQUAL expected)
  string(REPLACE ";" "\n  " found_text "${found}")
  string(REPLACE ";" "\n  " expected_text "${expected}")
  message(FATAL_ERROR "hand releases found:\n  ${found_text}\nexpected:\n  ${expected_text}")
endif()
list(LENGTH found count)
message("the check found each of the ${count} hand releases and nothing else")
