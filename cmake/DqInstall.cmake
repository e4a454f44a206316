# Where an install puts the project, as a distribution would: the program in bin/, its own two
# libraries (libkbdhook.so, libMidi.so) in a private folder that the program finds through a
# run path relative to itself, and the shipped word lists with the program's other data.
# Every destination is relative to the prefix, so all of it follows the prefix given at
# install time (cmake --install --prefix) and DESTDIR.
include(GNUInstallDirs)

set(DQ_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/DictionaryQuillfast)
# The folder holding Data/; the desktop entry starts the program there.
set(DQ_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/DictionaryQuillfast)

# Relative paths from the installed program's folder; they hold for any prefix.
file(RELATIVE_PATH _dq_lib_from_program ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/DictionaryQuillfast)
set(DQ_INSTALL_RPATH "$ORIGIN/${_dq_lib_from_program}")
file(RELATIVE_PATH DQ_DATA_FROM_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/DictionaryQuillfast/Data)

# dq_install_private_library(<target>): one of the program's own shared libraries.
function(dq_install_private_library target)
  install(TARGETS ${target} LIBRARY DESTINATION ${DQ_INSTALL_LIBDIR})
endfunction()

# dq_install_desktop_entry(<template>): the desktop entry, written at install time, when the
# prefix is known (DESTDIR is not part of what it says).
function(dq_install_desktop_entry template)
  install(CODE "
    set(DQ_DESKTOP_TEMPLATE \"${template}\")
    set(DQ_DESKTOP_WORK \"${CMAKE_CURRENT_BINARY_DIR}/desktop-entry\")
    set(DQ_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(DQ_WORKDIR \"${DQ_INSTALL_DATADIR}\")
    set(DQ_APPLICATIONSDIR \"${CMAKE_INSTALL_DATADIR}/applications\")
    include(\"${CMAKE_SOURCE_DIR}/cmake/DqDesktopEntry.cmake\")
  ")
endfunction()
