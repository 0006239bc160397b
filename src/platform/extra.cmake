# The FTP service (platform/ftp.cpp) stands on libcurl.
find_package(CURL REQUIRED)
target_link_libraries(platform PUBLIC CURL::libcurl)
