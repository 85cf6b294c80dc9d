# Checks of what gets installed: the man pages are clean roff, the menu entry is valid,
# and an installed tree lets serburn find its data (dist/check_install.sh).
find_program(KV_GROFF groff)
if(KV_GROFF)
  foreach(page ${pages})
    add_test(NAME man_page_${page}
      COMMAND sh -c "out=$(${KV_GROFF} -man -ww -z \"$1\" 2>&1); [ -z \"$out\" ] || { echo \"$out\"; exit 1; }"
              sh ${PROJECT_SOURCE_DIR}/docs/man/${page})
  endforeach()
endif()

find_program(KV_DESKTOP_FILE_VALIDATE desktop-file-validate)
if(KV_DESKTOP_FILE_VALIDATE AND TARGET flash)
  file(READ ${PROJECT_SOURCE_DIR}/flash/app/resources/flash.desktop.in entry)
  string(REPLACE "@FLASH_EXECUTABLE@" "/usr/bin/flash" entry "${entry}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/flash.desktop "${entry}")
  add_test(NAME desktop_entry_valid
    COMMAND ${KV_DESKTOP_FILE_VALIDATE} ${CMAKE_CURRENT_BINARY_DIR}/flash.desktop)
endif()

add_test(NAME install_layout
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_install.sh ${PROJECT_BINARY_DIR}
          ${PROJECT_SOURCE_DIR} ${KV_PROGRAM_DIR} ${KV_DATA_DIR} ${CMAKE_INSTALL_BINDIR})
set_tests_properties(install_layout PROPERTIES TIMEOUT 120)
