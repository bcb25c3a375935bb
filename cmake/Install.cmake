# Desktop integration for `cmake --install`: the executable goes to bin/ (src/app), the menu
# entry to share/applications and the scalable icon to the hicolor theme.
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/resources/ostraline.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/ostraline.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
