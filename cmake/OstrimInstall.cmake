# What `cmake --install` puts into the prefix, and the Debian package `cpack -G DEB` makes of it.
# The program finds its guide at ../share/ostrim/ from its bin/, so the layout is fixed here
# rather than taken from GNUInstallDirs.

install(TARGETS ostrim ostrim-simserver RUNTIME DESTINATION bin)
file(GLOB ostrim_sql_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/sql/*.sql)
install(FILES ${ostrim_sql_scripts} DESTINATION share/ostrim/sql)
install(FILES ${PROJECT_SOURCE_DIR}/data/guide.html DESTINATION share/ostrim)
install(FILES ${PROJECT_SOURCE_DIR}/data/ostrim.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/ostrim.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size IN LISTS OSTRIM_ICON_SIZES)
    install(FILES ${PROJECT_BINARY_DIR}/app/icons/${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ostrim.png)
endforeach()

# The build tree keeps the guide where an installation does, as a link to the source copy.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/share/ostrim)
file(CREATE_LINK ${PROJECT_SOURCE_DIR}/data/guide.html ${PROJECT_BINARY_DIR}/share/ostrim/guide.html
     SYMBOLIC)

# cpack packages what is built; left to itself it would build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrim)
set(CPACK_PACKAGE_VENDOR "Ostrim")
set(CPACK_PACKAGE_CONTACT "Seed 0f1e160a maintainers <maintainers@users.noreply.c-seed-0f1e160a.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Workbench for Sybase SQL Servers")
set(CPACK_PACKAGE_DESCRIPTION "Query windows, result grids and administration windows (server \
explorer, DDL generator, object differences, process monitor, database search) over FreeTDS \
DB-Library. Comes with ostrim-simserver, a small Sybase-compatible TDS 5.0 server on SQLite for \
demos.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# dpkg-shlibdeps (dpkg-dev) finds the dependencies from the binaries' libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
