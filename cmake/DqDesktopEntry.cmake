# Run by `cmake --install`: writes the desktop entry for the prefix of this install and
# installs it. Given DQ_DESKTOP_TEMPLATE, DQ_DESKTOP_WORK (a folder of the build tree) and the
# folders DQ_BINDIR, DQ_WORKDIR and DQ_APPLICATIONSDIR (relative to the prefix, or absolute).
foreach(var DQ_BINDIR DQ_WORKDIR DQ_APPLICATIONSDIR)
  cmake_path(ABSOLUTE_PATH ${var} BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE _dq_${var})
endforeach()
set(DQ_INSTALL_PROGRAM "${_dq_DQ_BINDIR}/DictionaryQuillfast")
set(DQ_INSTALL_WORKDIR "${_dq_DQ_WORKDIR}")
# One file per prefix and DESTDIR, so that two installs from one build tree never share it.
string(MD5 _dq_key "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(_dq_entry "${DQ_DESKTOP_WORK}/${_dq_key}/DictionaryQuillfast.desktop")
configure_file("${DQ_DESKTOP_TEMPLATE}" "${_dq_entry}" @ONLY)
file(INSTALL DESTINATION "${_dq_DQ_APPLICATIONSDIR}" TYPE FILE FILES "${_dq_entry}")
