# The GUI programmer's icon (scalable, and PNG sizes drawn from the SVG by rsvg-convert at
# build time; without it only the 48-pixel PNG of the resources) and its menu entry.
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES icons/flash.svg DESTINATION ${icons}/scalable/apps)
find_program(KV_RSVG_CONVERT rsvg-convert)
if(KV_RSVG_CONVERT)
  set(pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/flash.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${KV_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_CURRENT_SOURCE_DIR}/icons/flash.svg
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/icons/flash.svg VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
  endforeach()
  add_custom_target(kv_icons ALL DEPENDS ${pngs})
else()
  message(STATUS "rsvg-convert not found: only the 48x48 PNG icon is installed")
  install(FILES ${PROJECT_SOURCE_DIR}/flash/app/resources/flash.png DESTINATION ${icons}/48x48/apps)
endif()

# The entry names the installed link in bin, wherever --prefix put it.
install(CODE "
  set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  file(MAKE_DIRECTORY \"\${dir}\")
  file(READ \"${PROJECT_SOURCE_DIR}/flash/app/resources/flash.desktop.in\" entry)
  string(REPLACE \"@FLASH_EXECUTABLE@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/flash\" entry \"\${entry}\")
  file(WRITE \"\${dir}/flash.desktop\" \"\${entry}\")
  message(STATUS \"Installing: \${dir}/flash.desktop\")
")
