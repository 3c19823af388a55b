# Checks that a built dwlGina2.dll exports exactly the 26 entry points under their plain names
# (no "@bytes" decoration of __stdcall). Run with cmake -DOBJDUMP=... -DLIBRARY=... -P.
set(expected
  wlVersion wlDisableKey wlIsKeyDisabled wlGetDisabledKey wlSetKeySendMessage wlSetKeyPostMessage
  wlSetKeyCallback wlRestoreAll wlDisableItem wlIsItemDisabled wlInstallGina wlUninstallGina
  wlIsGinaInstalled wlIsNTSystem wlNeedGinaInstall wlExitWindows wlWinVersion wlGetKeyState
  wlSetKeyState wlIsAdmin wlEnableAutologin wlMapScancode wlDisableDesktopIcon wlDesktopIconCount
  wlRestoreDesktopIcons wlExit)

if(NOT EXISTS "${LIBRARY}")
  message("${LIBRARY} not built; build the win32 tree first")
  return()
endif()
execute_process(COMMAND "${OBJDUMP}" -p "${LIBRARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
endif()
if(DEFINED FORMAT AND NOT dump MATCHES "file format ${FORMAT}")
  message(FATAL_ERROR "${LIBRARY} is not ${FORMAT}")
endif()

# The name table follows its heading up to an empty line; its rows read "\t[   3] wlDisableKey".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start LESS 0)
  message(FATAL_ERROR "${LIBRARY} exports nothing")
endif()
string(SUBSTRING "${dump}" ${start} -1 table)
string(FIND "${table}" "\n\n" end)
string(SUBSTRING "${table}" 0 ${end} table)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(exported)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
  list(APPEND exported "${name}")
endforeach()
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
if(missing OR extra)
  message(FATAL_ERROR "exports differ: missing [${missing}], unexpected [${extra}]")
endif()
list(LENGTH exported count)
message("${LIBRARY}: ${count} entry points with plain names")
