# Every library comes from a Debian package installed by scripts/install-deps.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(ZLIB REQUIRED)

pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(SQLCIPHER REQUIRED IMPORTED_TARGET sqlcipher)
pkg_check_modules(GSF REQUIRED IMPORTED_TARGET libgsf-1)
# find_package(libzip) is broken on Debian 12 (it names a missing zipcmp).
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(OPENCC REQUIRED IMPORTED_TARGET opencc)
pkg_check_modules(ERFA REQUIRED IMPORTED_TARGET erfa)

# Debian builds cpp-httplib as a shared library whose class layout depends on
# the feature macros its pkg-config file defines (OpenSSL, zlib, brotli), so
# every user must compile with exactly those definitions and link the library.
pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(norvane_httplib INTERFACE)
target_link_libraries(norvane_httplib INTERFACE PkgConfig::CPPHTTPLIB Threads::Threads)

# SQLCipher's header only declares sqlite3_key with SQLITE_HAS_CODEC defined.
target_compile_definitions(PkgConfig::SQLCIPHER INTERFACE SQLITE_HAS_CODEC)

if(NORVANE_BUILD_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network WebEngineWidgets WebChannel UiTools Test DBus PrintSupport)
  set(CMAKE_AUTOMOC ON)
endif()
