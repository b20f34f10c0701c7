# Writes the AppStream metainfo from its template: the version, the release
# date and, when the project's web address is known, the home page and the
# screenshots of docs/screenshots as published under it (AppStream takes
# screenshots only as web addresses). Included by Install.cmake; the install
# test runs it as a script with an address of its own:
#   cmake -DTEMPLATE=... -DOUTPUT=... -DVERSION=... -DDATE=... [-DHOMEPAGE=...] -P Metainfo.cmake
function(sonfeld_write_metainfo template output version date homepage)
  set(SONFELD_METAINFO_VERSION ${version})
  set(SONFELD_METAINFO_DATE ${date})
  set(SONFELD_METAINFO_WEB "")
  if(homepage)
    set(web "  <url type=\"homepage\">${homepage}</url>\n  <screenshots>\n")
    set(type " type=\"default\"")
    foreach(shot
        "main-window|The tracks of an audio CD, ready to rip"
        "settings-page|The encoder and tag settings"
        "album-panel|The disc's names from a lookup"
        "options-dialog|The options")
      string(REPLACE "|" ";" shot "${shot}")
      list(GET shot 0 name)
      list(GET shot 1 caption)
      string(APPEND web "    <screenshot${type}>\n      <caption>${caption}</caption>\n"
             "      <image>${homepage}/screenshots/${name}.png</image>\n    </screenshot>\n")
      set(type "")
    endforeach()
    string(APPEND web "  </screenshots>")
    set(SONFELD_METAINFO_WEB "${web}")
  endif()
  configure_file(${template} ${output} @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED HOMEPAGE)
    set(HOMEPAGE "")
  endif()
  sonfeld_write_metainfo(${TEMPLATE} ${OUTPUT} ${VERSION} ${DATE} "${HOMEPAGE}")
endif()
