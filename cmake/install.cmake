include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS utility hmm util htk mac2mod mmftool
        EXPORT mac2modTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(dir utility hmm export util htk driver)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir}
            FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT mac2modTargets
        NAMESPACE mac2mod::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mac2modConfig.cmake.in
        ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfig.cmake
        INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/mac2modConfigVersion.cmake
        COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
