# Install-time symbolic links, relative so the tree can move (DESTDIR, packages).

# PREFIX/bin/NAME -> the executable NAME in the program directory.
function(kv_install_bin_link name)
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    file(RELATIVE_PATH target \"\${prefix}/${CMAKE_INSTALL_BINDIR}\" \"\${prefix}/${KV_PROGRAM_DIR}/${name}\")
    set(link \"\$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_BINDIR}/${name}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> \${target}\")
  ")
endfunction()

# DIR/FILE -> the data directory's FILE, for each FILE.
function(kv_install_data_links dir)
  foreach(name ${ARGN})
    install(CODE "
      set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
      file(RELATIVE_PATH target \"\${prefix}/${dir}\" \"\${prefix}/${KV_DATA_DIR}/${name}\")
      set(link \"\$ENV{DESTDIR}\${prefix}/${dir}/${name}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${prefix}/${dir}\")
      file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> \${target}\")
    ")
  endforeach()
endfunction()
