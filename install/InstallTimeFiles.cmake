# Run by `cmake --install` after the program is in place: writes the files that name
# the installed program's full path, which is known only now (--prefix may change it):
# the desktop entry, the plug-in's configuration and the bin/ link. DESTDIR, when
# set, is put in front of every path written but never into the files' contents.
#
# Set before it runs (install(CODE)): QUILL_INSTALL_SOURCE (this folder),
# QUILL_INSTALL_WORK (a folder of the build for the generated files).

get_filename_component(quill_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(QUILL_INSTALLED_PROGRAM "${quill_prefix}/lib/quillmere/Quillmere")
set(QUILL_INSTALLED_LINK "${quill_prefix}/bin/Quillmere")
# /usr keeps its system-wide configuration in /etc; any other prefix in PREFIX/etc.
if(quill_prefix STREQUAL "/usr")
  set(quill_xdg "/etc/xdg")
else()
  set(quill_xdg "${quill_prefix}/etc/xdg")
endif()

file(MAKE_DIRECTORY "${QUILL_INSTALL_WORK}")
configure_file("${QUILL_INSTALL_SOURCE}/quillmere.desktop.in" "${QUILL_INSTALL_WORK}/quillmere.desktop" @ONLY)
configure_file("${QUILL_INSTALL_SOURCE}/Quillmere.conf.in" "${QUILL_INSTALL_WORK}/Quillmere.conf" @ONLY)
file(INSTALL DESTINATION "${quill_prefix}/share/applications" TYPE FILE
     FILES "${QUILL_INSTALL_WORK}/quillmere.desktop")
file(INSTALL DESTINATION "${quill_xdg}/Norvane/Pictoria" TYPE FILE FILES "${QUILL_INSTALL_WORK}/Quillmere.conf")

# bin/Quillmere: a relative link, so that the tree works wherever DESTDIR puts it. The
# program finds its Languages/, Images/ and help/ through its own resolved path.
file(REMOVE "${QUILL_INSTALL_WORK}/Quillmere")
file(CREATE_LINK "../lib/quillmere/Quillmere" "${QUILL_INSTALL_WORK}/Quillmere" SYMBOLIC)
file(INSTALL DESTINATION "${quill_prefix}/bin" TYPE PROGRAM FILES "${QUILL_INSTALL_WORK}/Quillmere")
