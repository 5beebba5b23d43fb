# Maps drive LETTER (as "k:") of the Wine prefix to the folder TARGET, made
# fresh; with REMOVE set, takes the mapping and the folder away again.
# The prefix is the one the tests run in, as scripts/wine-run chooses it.
if(DEFINED ENV{WINEPREFIX} AND NOT "$ENV{WINEPREFIX}" STREQUAL "")
  set(prefix "$ENV{WINEPREFIX}")
else()
  set(prefix "${ROOT}/build/wine")
endif()
set(link "${prefix}/dosdevices/${LETTER}")
file(REMOVE "${link}")
file(REMOVE_RECURSE "${TARGET}")
if(NOT REMOVE)
  file(MAKE_DIRECTORY "${TARGET}")
  file(CREATE_LINK "${TARGET}" "${link}" SYMBOLIC)
endif()
