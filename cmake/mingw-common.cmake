# Shared part of the MinGW-w64 cross toolchains. The including file sets
# MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32) first.
set(CMAKE_SYSTEM_NAME Windows)

# The "posix" thread model: the default ("win32") variant of the Debian
# cross compilers has no std::mutex / std::thread.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Boost is used header-only. The host's headers are reached through a folder
# that holds nothing but links such as "boost" to /usr/include/boost, so the cross
# compiler never sees the rest of /usr/include (glibc headers would shadow the
# MinGW runtime's).
set(MINGW_BOOST_HEADERS "${CMAKE_BINARY_DIR}/mingw-boost-headers")
if(NOT EXISTS "${MINGW_BOOST_HEADERS}/boost")
  file(MAKE_DIRECTORY "${MINGW_BOOST_HEADERS}")
  file(CREATE_LINK /usr/include/boost "${MINGW_BOOST_HEADERS}/boost" SYMBOLIC)
endif()
set(Boost_INCLUDE_DIR "${MINGW_BOOST_HEADERS}" CACHE PATH "Boost headers for the cross build")
# CLI11 (header-only) is reached the same way, through a "CLI" link.
if(NOT EXISTS "${MINGW_BOOST_HEADERS}/CLI")
  file(CREATE_LINK /usr/include/CLI "${MINGW_BOOST_HEADERS}/CLI" SYMBOLIC)
endif()
# nlohmann-json (header-only) likewise, through a "nlohmann" link.
if(NOT EXISTS "${MINGW_BOOST_HEADERS}/nlohmann")
  file(CREATE_LINK /usr/include/nlohmann "${MINGW_BOOST_HEADERS}/nlohmann" SYMBOLIC)
endif()
set(CLI11_INCLUDE_DIR "${MINGW_BOOST_HEADERS}" CACHE PATH "CLI11 headers for the cross build")
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_NO_SYSTEM_PATHS ON)
