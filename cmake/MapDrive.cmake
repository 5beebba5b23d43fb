# Maps a drive letter of the Wine prefix to a folder of its own, emptied, as
# the root of a fresh memory card; with -DREMOVE=1 takes the letter away.
# -DLETTER=q -DROOT=<folder>. The prefix is $WINEPREFIX (else ~/.wine).
set(prefix "$ENV{WINEPREFIX}")
if(prefix STREQUAL "")
  set(prefix "$ENV{HOME}/.wine")
endif()
set(link "${prefix}/dosdevices/${LETTER}:")
if(EXISTS "${link}" AND NOT IS_SYMLINK "${link}")
  message(FATAL_ERROR "${link} is not a link this script made; leaving it alone")
endif()
file(REMOVE "${link}")
file(REMOVE_RECURSE "${ROOT}")
if(NOT REMOVE)
  file(MAKE_DIRECTORY "${ROOT}")
  file(CREATE_LINK "${ROOT}" "${link}" SYMBOLIC)
endif()
